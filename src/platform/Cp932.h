#pragma once

#include <QByteArray>
#include <QString>

// Code page 932 (Shift-JIS as Windows writes it), the encoding of every text file the
// program reads and writes.
namespace Cp932 {

QByteArray encode(const QString &text);
QString decode(const QByteArray &bytes);
// True when every character of the text survives a round trip through code page 932.
bool canEncode(QChar c);
bool canEncode(char32_t ucs4);

} // namespace Cp932
