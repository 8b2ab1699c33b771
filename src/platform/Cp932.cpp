#include "Cp932.h"

#include <QCoreApplication>
#include <QStringDecoder>
#include <QStringEncoder>

#include <array>
#include <memory>
#include <vector>

namespace Cp932 {
namespace {

constexpr const char *kName = "windows-31j";

QByteArray &converterName()
{
    static QByteArray name(kName);
    return name;
}

bool isLead(uchar b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool isTrail(uchar b)
{
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}
bool isKept(QChar c)
{
    return c.unicode() >= keptByteBase && c.unicode() <= keptByteBase + 0xFF;
}

// For every one- and two-byte code, the character it stands for when it round-trips, else -1.
struct Table
{
    std::array<int, 256> single;
    std::vector<int> pair = std::vector<int>(256 * 256, -1);
    Table() { single.fill(-1); }
};

std::unique_ptr<Table> buildTable()
{
    auto t = std::make_unique<Table>();
    if (!QStringDecoder(kName).isValid() || !QStringEncoder(kName).isValid())
        return t;
    // Fresh converters for every code: an error stays with a converter after resetState().
    const auto roundTrip = [](const QByteArray &bytes) {
        QStringDecoder dec(kName);
        const QString s = dec.decode(bytes);
        if (dec.hasError() || s.size() != 1 || isKept(s.front()))
            return -1;
        QStringEncoder enc(kName);
        const QByteArray back = enc.encode(s);
        return !enc.hasError() && back == bytes ? int(s.front().unicode()) : -1;
    };
    for (int b = 0; b < 256; ++b) {
        if (!isLead(uchar(b))) {
            t->single[size_t(b)] = roundTrip(QByteArray(1, char(b)));
            continue;
        }
        for (int c = 0x40; c <= 0xFC; ++c) {
            if (!isTrail(uchar(c)))
                continue;
            QByteArray code(2, char(b));
            code[1] = char(c);
            t->pair[size_t(b * 256 + c)] = roundTrip(code);
        }
    }
    return t;
}

const Table &table()
{
    static const std::unique_ptr<Table> t = buildTable();
    return *t;
}

QChar kept(uchar b)
{
    return QChar(char16_t(keptByteBase + b));
}

} // namespace

bool isAvailable()
{
    return QStringEncoder(converterName().constData()).isValid()
        && QStringDecoder(converterName().constData()).isValid();
}

QString unavailableText()
{
    return QCoreApplication::translate("Cp932", "Shift-JIS(ｺｰﾄﾞﾍﾟｰｼﾞ932)の文字変換が使えません");
}

void setConverterName(const QByteArray &name)
{
    converterName() = name.isEmpty() ? QByteArray(kName) : name;
}

QByteArray encode(const QString &text)
{
    QStringEncoder enc(converterName().constData());
    return enc.isValid() ? enc.encode(text) : QByteArray();
}

QString decode(const QByteArray &bytes)
{
    QStringDecoder dec(converterName().constData());
    return dec.isValid() ? dec.decode(bytes) : QString();
}

QString decodeKeepingBytes(const QByteArray &bytes)
{
    const Table &t = table();
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes[i]);
        if (isLead(b) && i + 1 < bytes.size() && isTrail(uchar(bytes[i + 1]))) {
            const uchar c = uchar(bytes[++i]);
            const int u = t.pair[size_t(b * 256 + c)];
            if (u >= 0) {
                out += QChar(char16_t(u));
            } else {
                out += kept(b);
                out += kept(c);
            }
            continue;
        }
        const int u = t.single[b];
        out += u >= 0 ? QChar(char16_t(u)) : kept(b);
    }
    return out;
}

QByteArray encodeKeepingBytes(const QString &text)
{
    QByteArray out;
    out.reserve(text.size() * 2);
    QStringEncoder enc(converterName().constData());
    qsizetype runStart = 0;
    const auto flush = [&](qsizetype end) {
        if (end > runStart)
            out += QByteArray(enc.encode(QStringView(text).mid(runStart, end - runStart)));
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isKept(text[i]))
            continue;
        flush(i);
        out += char(text[i].unicode() - keptByteBase);
        runStart = i + 1;
    }
    flush(text.size());
    return out;
}

bool canEncode(char32_t ucs4)
{
    const QString s = QString::fromUcs4(&ucs4, 1);
    QStringEncoder enc(converterName().constData(), QStringConverter::Flag::ConvertInvalidToNull);
    if (!enc.isValid())
        return false;
    const QByteArray bytes = enc.encode(s);
    if (enc.hasError() || bytes.isEmpty())
        return false;
    return decode(bytes) == s;
}

bool canEncode(QChar c)
{
    return canEncode(char32_t(c.unicode()));
}

} // namespace Cp932
