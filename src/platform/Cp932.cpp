#include "Cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace Cp932 {
namespace {
constexpr const char *kName = "windows-31j";
}

QByteArray encode(const QString &text)
{
    QStringEncoder enc(kName);
    Q_ASSERT(enc.isValid());
    return enc.encode(text);
}

QString decode(const QByteArray &bytes)
{
    QStringDecoder dec(kName);
    Q_ASSERT(dec.isValid());
    return dec.decode(bytes);
}

bool canEncode(char32_t ucs4)
{
    const QString s = QString::fromUcs4(&ucs4, 1);
    QStringEncoder enc(kName, QStringConverter::Flag::ConvertInvalidToNull);
    const QByteArray bytes = enc.encode(s);
    if (enc.hasError() || bytes.isEmpty())
        return false;
    return decode(bytes) == s;
}

bool canEncode(QChar c) { return canEncode(char32_t(c.unicode())); }

} // namespace Cp932
