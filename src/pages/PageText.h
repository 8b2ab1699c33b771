#pragma once

#include <QByteArray>
#include <QString>

// The text a saved copy holds, for the full-text search: the HTML part of an MHTML file
// (quoted-printable, base64 or plain; the charset it declares, Shift_JIS and EUC-JP included),
// with scripts, styles and markup left out and entities decoded.
namespace PageText {

// The text of the copy's bytes; *ok false when they hold no HTML part.
QString ofMhtml(const QByteArray &mhtml, bool *ok = nullptr);
// The text of a page's markup in the given charset (empty: the one its meta tag names, else
// UTF-8).
QString ofHtml(const QByteArray &html, const QByteArray &charset = {});
// The text of the copy at path; false with *error naming the file when it cannot be read or
// holds no page.
bool ofFile(const QString &path, QString *text, QString *error);

} // namespace PageText
