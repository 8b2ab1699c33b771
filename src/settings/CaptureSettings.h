#pragma once

#include <QString>

class yIni;

// The settings of the receiver that takes pages from the user's own browser, in the settings
// object's current group ("画面"): CAPTURE_ON (1 or 0, on by default), CAPTURE_PORT and
// CAPTURE_TOKEN. What changes is written to the file at once, so that a browser given the token
// keeps it valid even if the program ends abnormally.
namespace CaptureSettings {

constexpr quint16 kDefaultPort = 48620;

bool isOn(yIni &ini);
// The setting's port; the default when there is none or it is no port number.
quint16 port(yIni &ini);
// The token written by hand is used as it is (spaces around it aside); without one a new one
// is made and saved. *error is set when saving it failed; the token holds for this run then.
QString token(yIni &ini, QString *error = nullptr);
// A new token replaces the old one and is saved (*error set when that failed).
QString renewToken(yIni &ini, QString *error = nullptr);
// Writes on/off and the port; false (*error) when the file could not be written.
bool save(yIni &ini, bool on, quint16 port, QString *error = nullptr);

// 256 random bits from the system's source, as URL-safe text.
QString newToken();

} // namespace CaptureSettings
