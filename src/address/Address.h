#pragma once

#include <QString>
#include <QStringView>

// Which addresses the collection opens, registers, writes as links and checks, and when two
// addresses are one.
namespace Address {

// Web pages and local files (a file address or an absolute path) are opened and written as
// links; a stored "javascript:" or "data:" address would otherwise run in the page that shows
// it, and "//host/path" names no file here.
bool isOpenable(QStringView address);
// Only web pages (http, https) are registered and checked.
bool isWeb(QStringView address);
// The address box shows every address but the program's own pages ("data:"): their text is
// the page itself, long and meaningless to the user.
bool isShown(QStringView address);

// An address as addresses are compared: scheme and host in lower case (ASCII letters), the
// path, query and fragment as they are, since servers tell their letter case apart.
QString matchForm(const QString &address);
bool same(const QString &a, const QString &b);

// A text holds a control character (C0, DEL or C1); TAB counts unless tabAllowed.
bool hasControl(QStringView text, bool tabAllowed = false);
// A name or title as it is kept: each control character but TAB a space (an escape sequence
// would reach a terminal that lists it), then trimmed.
QString withoutControls(QString text);

} // namespace Address
