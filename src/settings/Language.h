#pragma once

#include <QLocale>
#include <QString>

#include <optional>

class yIni;

// The language the program speaks. Its own texts are Japanese; an English translation is
// built in. The setting "LANG" ("ja" or "en") of the group "画面" chooses; without it the
// user's locale does: Japanese, and C or POSIX (no language chosen at all), keep the program's
// own Japanese; every other language gets English.
namespace Language {

enum class Choice { Japanese, English };

// The settings key, in the group "画面".
QString settingKey();

// "ja" or "en" (letter case and surrounding spaces aside); nothing for anything else.
std::optional<Choice> fromSetting(const QString &value);
Choice fromLocale(const QLocale &locale);
// An explicit setting wins over the locale.
Choice choose(const QString &setting, const QLocale &locale = QLocale::system());

// The setting as the settings object's current group holds it; empty without one.
QString settingOf(yIni &ini);
// The setting of an existing settings file, read without creating or changing anything;
// empty when the file or the key is missing.
QString settingInFile(const QString &settingsFile);

// Installs what the choice needs on the running application, replacing what an earlier call
// installed: the English translation for English; for Japanese with qtTexts, Qt's own
// Japanese texts (buttons of message boxes, file dialogs) when they are installed on the
// system. Returns false when the English translation could not be loaded.
bool install(Choice choice, bool qtTexts = false);
// What install last put in place (Japanese before any call).
Choice installed();

} // namespace Language
