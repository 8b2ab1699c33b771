#include "address/UrlKey.h"

#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <numeric>

namespace UrlKey {

namespace {

bool isTracking(QStringView parameter)
{
    const qsizetype eq = parameter.indexOf(u'=');
    const QStringView name = eq < 0 ? parameter : parameter.left(eq);
    return name.startsWith(u"utm_", Qt::CaseInsensitive)
        || name.compare(u"fbclid", Qt::CaseInsensitive) == 0
        || name.compare(u"gclid", Qt::CaseInsensitive) == 0;
}

bool isAlnum(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

// A host name of ASCII labels ending in a name (no address of numbers, no international name):
// written as it is, but for its letter case.
bool isPlainHost(QStringView host)
{
    if (host.isEmpty() || host.size() > 253)
        return false;
    qsizetype start = 0;
    while (start < host.size()) {
        qsizetype end = host.indexOf(u'.', start);
        if (end < 0)
            end = host.size();
        const QStringView label = host.mid(start, end - start);
        if (label.isEmpty() || label.size() > 63 || label.front() == u'-' || label.back() == u'-'
            || label.contains(u"--"))
            return false;
        for (const QChar c : label) {
            if (!isAlnum(c) && c != u'-')
                return false;
        }
        if (end == host.size()) {
            const QChar first = label.front();
            return (first >= u'a' && first <= u'z') || (first >= u'A' && first <= u'Z');
        }
        start = end + 1;
    }
    return false;
}

bool isPlainPath(QStringView path)
{
    for (const QChar c : path) {
        if (!isAlnum(c) && c != u'/' && c != u'-' && c != u'.' && c != u'_' && c != u'~')
            return false;
    }
    // No dot steps and no empty steps, which QUrl would have a say in.
    for (const QStringView step : path.split(u'/')) {
        if (step == u"." || step == u"..")
            return false;
    }
    return !path.contains(u"//");
}

bool isPlainQuery(QStringView query)
{
    for (const QChar c : query) {
        if (!isAlnum(c) && c != u'-' && c != u'.' && c != u'_' && c != u'~' && c != u'='
            && c != u'&')
            return false;
    }
    return true;
}

// The key of a plain http(s) address (lower-case scheme, plain host, optional port, a path and
// query of letters, digits and a few marks) made straight from its text, as the key of a large
// collection's addresses would otherwise cost a QUrl each. Null for any other address.
QString plainKey(QStringView text)
{
    qsizetype at = 0;
    if (text.startsWith(u"http://"))
        at = 7;
    else if (text.startsWith(u"https://"))
        at = 8;
    else
        return {};
    if (const qsizetype fragment = text.indexOf(u'#'); fragment >= 0)
        text = text.left(fragment);
    const qsizetype q = text.indexOf(u'?', at);
    const QStringView beforeQuery = q < 0 ? text : text.left(q);
    const qsizetype slash = beforeQuery.indexOf(u'/', at);
    const QStringView authority = slash < 0 ? beforeQuery.mid(at) : beforeQuery.mid(at, slash - at);
    QStringView path = slash < 0 ? QStringView() : beforeQuery.mid(slash);
    const qsizetype colon = authority.indexOf(u':');
    QStringView host = colon < 0 ? authority : authority.left(colon);
    int port = -1;
    if (colon >= 0) {
        const QStringView digits = authority.mid(colon + 1);
        if (digits.isEmpty() || digits.size() > 5 || digits.front() == u'0')
            return {};
        for (const QChar c : digits) {
            if (c < u'0' || c > u'9')
                return {};
        }
        port = digits.toInt();
        if (port > 65535)
            return {};
    }
    if (host.endsWith(u'.'))
        host.chop(1);
    if (!isPlainHost(host) || !isPlainPath(path) || (q >= 0 && !isPlainQuery(text.mid(q + 1))))
        return {};
    QString key = QStringLiteral("//");
    key.reserve(text.size() + 2);
    const QString lower = host.toString().toLower();
    key += lower.startsWith(u"www.") ? QStringView(lower).mid(4) : QStringView(lower);
    if (port >= 0 && port != 80 && port != 443)
        key += u':' + QString::number(port);
    if (path.endsWith(u'/'))
        path.chop(1);
    key += path;
    if (q >= 0) {
        QString rest;
        bool any = false;
        for (const QStringView piece : text.mid(q + 1).split(u'&')) {
            if (isTracking(piece))
                continue;
            if (any)
                rest += u'&';
            rest += piece;
            any = true;
        }
        if (!rest.isEmpty())
            key += u'?' + rest;
    }
    return key;
}

} // namespace

QString of(QStringView address)
{
    const QStringView trimmed = address.trimmed();
    if (trimmed.isEmpty())
        return {};
    if (QString key = plainKey(trimmed); !key.isNull())
        return key;
    return parsed(trimmed);
}

QString parsed(QStringView address)
{
    const QString text = address.trimmed().toString();
    if (text.isEmpty())
        return {};
    QUrl url(text, QUrl::TolerantMode);
    if (!url.isValid())
        return text;
    // Percent-encoding comes out in one spelling: unreserved characters plain, the rest
    // upper-case escapes, international host names in their ASCII form.
    url = url.adjusted(QUrl::RemoveFragment | QUrl::NormalizePathSegments);
    const QString scheme = url.scheme();
    if ((scheme != u"http" && scheme != u"https") || url.host().isEmpty())
        return url.toString(QUrl::FullyEncoded);

    QString host = url.host(QUrl::FullyEncoded);
    if (host.endsWith(u'.'))
        host.chop(1);
    if (host.startsWith(u"www."))
        host.remove(0, 4);
    if (host.contains(u':'))
        host = u'[' + host + u']'; // IPv6
    QString key = QStringLiteral("//");
    const QString user = url.userInfo(QUrl::FullyEncoded);
    if (!user.isEmpty())
        key += user + u'@';
    key += host;
    const int port = url.port();
    if (port >= 0 && port != 80 && port != 443)
        key += u':' + QString::number(port);
    QString path = url.path(QUrl::FullyEncoded);
    if (path.endsWith(u'/'))
        path.chop(1);
    key += path;
    if (url.hasQuery()) {
        const QString query = url.query(QUrl::FullyEncoded);
        QStringList kept;
        for (const QStringView piece : QStringView(query).split(u'&')) {
            if (!isTracking(piece))
                kept.append(piece.toString());
        }
        const QString rest = kept.join(u'&');
        if (!rest.isEmpty())
            key += u'?' + rest;
    }
    return key;
}

std::vector<qint64> laterTwins(std::span<const Numbered> links)
{
    std::vector<QString> keys;
    keys.reserve(links.size());
    for (const Numbered &l : links)
        keys.push_back(of(l.address));
    std::vector<size_t> order(links.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const int c = keys[a].compare(keys[b]);
        return c != 0 ? c < 0 : links[a].number < links[b].number;
    });
    std::vector<qint64> out;
    for (size_t i = 1; i < order.size(); ++i) {
        const size_t a = order[i - 1];
        const size_t b = order[i];
        if (!keys[b].isEmpty() && keys[a] == keys[b] && links[a].number != links[b].number)
            out.push_back(links[b].number);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

} // namespace UrlKey

quint32 UrlTwins::hashOf(QStringView key)
{
    // FNV-1a over the UTF-16 units, then a final mix so that close keys spread out.
    quint64 h = 0xcbf29ce484222325ull;
    for (const QChar c : key) {
        h ^= c.unicode();
        h *= 0x100000001b3ull;
    }
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return quint32(h >> 32);
}

void UrlTwins::rebuild(std::span<const UrlKey::Numbered> links)
{
    clear();
    reserve(links.size());
    for (const UrlKey::Numbered &l : links)
        add(l.number, l.address);
    finish();
}

void UrlTwins::add(qint64 number, QStringView address)
{
    const QString key = UrlKey::of(address);
    if (key.isEmpty())
        return;
    if (fits(number))
        m_entries.push_back({hashOf(key), quint32(number)});
    else
        m_wide.push_back({hashOf(key), number});
}

namespace {

// Sorted, the same link given twice counted once.
template<class E> void sortOnce(std::vector<E> &entries)
{
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
}

template<class E> void insertSorted(std::vector<E> &entries, const E &e)
{
    // Grown by a sixteenth: a registration must not double a million links' keys.
    if (entries.size() == entries.capacity())
        entries.reserve(entries.size() + entries.size() / 16 + 16);
    entries.insert(std::lower_bound(entries.begin(), entries.end(), e), e);
}

} // namespace

void UrlTwins::finish()
{
    sortOnce(m_entries);
    sortOnce(m_wide);
}

void UrlTwins::insert(qint64 number, QStringView address)
{
    remove(number);
    const QString key = UrlKey::of(address);
    if (key.isEmpty())
        return;
    if (fits(number))
        insertSorted(m_entries, {hashOf(key), quint32(number)});
    else
        insertSorted(m_wide, {hashOf(key), number});
}

void UrlTwins::remove(qint64 number)
{
    if (fits(number))
        std::erase_if(m_entries, [number](const Entry &e) { return e.number == number; });
    else
        std::erase_if(m_wide, [number](const Wide &e) { return e.number == number; });
}

void UrlTwins::remove(std::span<const qint64> numbers)
{
    std::vector<qint64> gone(numbers.begin(), numbers.end());
    std::sort(gone.begin(), gone.end());
    const auto isGone = [&](const auto &e) {
        return std::binary_search(gone.begin(), gone.end(), qint64(e.number));
    };
    std::erase_if(m_entries, isGone);
    std::erase_if(m_wide, isGone);
}

std::vector<qint64> UrlTwins::sharing(QStringView address) const
{
    std::vector<qint64> out;
    const QString key = UrlKey::of(address);
    if (key.isEmpty())
        return out;
    const quint32 h = hashOf(key);
    for (auto it = std::lower_bound(m_entries.begin(), m_entries.end(), Entry {h, 0});
         it != m_entries.end() && it->hash == h; ++it)
        out.push_back(it->number);
    for (auto it = std::lower_bound(m_wide.begin(), m_wide.end(),
                                    Wide {h, std::numeric_limits<qint64>::min()});
         it != m_wide.end() && it->hash == h; ++it)
        out.push_back(it->number);
    std::sort(out.begin(), out.end());
    return out;
}
