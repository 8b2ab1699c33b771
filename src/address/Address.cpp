#include "Address.h"

namespace Address {
namespace {

bool isSchemeChar(QChar c, bool first)
{
    const char16_t u = c.unicode();
    const bool letter = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
    return letter || (!first && ((u >= u'0' && u <= u'9') || u == u'+' || u == u'-' || u == u'.'));
}

// The length of the scheme before its ':'; 0 when the text has none.
qsizetype schemeLength(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && isSchemeChar(text[i], i == 0))
        ++i;
    return i > 0 && i < text.size() && text[i] == u':' ? i : 0;
}

bool hasScheme(QStringView text, const char *name)
{
    const qsizetype n = schemeLength(text);
    return n > 0 && text.left(n).compare(QLatin1StringView(name), Qt::CaseInsensitive) == 0;
}

QStringView trimmedStart(QStringView text)
{
    while (!text.isEmpty() && text.front().isSpace())
        text = text.mid(1);
    return text;
}

} // namespace

bool isOpenable(QStringView address)
{
    const QStringView text = trimmedStart(address);
    if (text.startsWith(u'/'))
        return !text.startsWith(u"//");
    for (const char *known : {"http", "https", "file"}) {
        if (hasScheme(text, known))
            return true;
    }
    return false;
}

bool isWeb(QStringView address)
{
    const QStringView text = trimmedStart(address);
    return hasScheme(text, "http") || hasScheme(text, "https");
}

bool isShown(QStringView address)
{
    return !hasScheme(trimmedStart(address), "data");
}

QString matchForm(const QString &address)
{
    const qsizetype scheme = schemeLength(address);
    if (scheme == 0)
        return address;
    qsizetype hostFrom = scheme, hostTo = scheme;
    if (QStringView(address).mid(scheme + 1, 2) == u"//") {
        hostFrom = scheme + 3;
        hostTo = hostFrom;
        while (hostTo < address.size() && address[hostTo] != u'/' && address[hostTo] != u'?'
               && address[hostTo] != u'#')
            ++hostTo;
        // The user's name and password keep their case.
        const qsizetype at
            = QStringView(address).mid(hostFrom, hostTo - hostFrom).lastIndexOf(u'@');
        if (at >= 0)
            hostFrom += at + 1;
    }
    QString out = address;
    const auto lower = [&](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to; ++i) {
            const char16_t c = address[i].unicode();
            if (c >= u'A' && c <= u'Z')
                out[i] = QChar(char16_t(c + 32));
        }
    };
    lower(0, scheme);
    lower(hostFrom, hostTo);
    return out;
}

bool same(const QString &a, const QString &b)
{
    return a.size() == b.size() && matchForm(a) == matchForm(b);
}

bool hasControl(QStringView text, bool tabAllowed)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && !(tabAllowed && u == u'\t')) || (u >= 0x7F && u <= 0x9F))
            return true;
    }
    return false;
}

QString withoutControls(QString text)
{
    if (!hasControl(text, true))
        return text;
    for (QChar &c : text) {
        if (hasControl(QStringView(&c, 1), true))
            c = u' ';
    }
    return text.trimmed();
}

} // namespace Address
