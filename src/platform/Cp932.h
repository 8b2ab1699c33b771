#pragma once

#include <QByteArray>
#include <QString>

// Code page 932 (Shift-JIS as Windows writes it), the encoding of every text file the
// program reads and writes.
namespace Cp932 {

// False when the platform has no converter for code page 932: nothing could then be read or
// written as the user wrote it.
bool isAvailable();
// The reason given to the user when it is missing.
QString unavailableText();

QByteArray encode(const QString &text);
QString decode(const QByteArray &bytes);

// Decoding that loses no byte: a byte, or a two-byte code, that would not come back the same
// through decode and encode (an invalid byte, a character with two codes, text in another
// encoding) is held as one code point per byte from keptByteBase on, which
// encodeKeepingBytes writes back as that byte. encodeKeepingBytes(decodeKeepingBytes(b)) == b
// for every b.
constexpr char16_t keptByteBase = 0xF700; // private use, outside code page 932's own U+E000..E757
QString decodeKeepingBytes(const QByteArray &bytes);
QByteArray encodeKeepingBytes(const QString &text);

// True when every character of the text survives a round trip through code page 932.
bool canEncode(QChar c);
bool canEncode(char32_t ucs4);

// Tests stand for a platform without the converter by naming one that does not exist; an
// empty name restores the real one.
void setConverterName(const QByteArray &name);

} // namespace Cp932
