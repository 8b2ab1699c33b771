#pragma once

#include <QString>

#include <span>
#include <vector>

// Addresses of the same page: the key two addresses share when they differ only in what does
// not change the page. http and https, the host's letter case, a leading "www." and a trailing
// dot of the host, the default ports 80 and 443, one trailing "/" of the path, "." and ".."
// steps of the path, the fragment, the tracking parameters utm_*, fbclid and gclid, and the
// spelling of percent-encoding (and of international host names) do not count. The remaining
// query parameters keep their order. Other schemes keep their scheme; a text that is no address
// is its own key, trimmed.
namespace UrlKey {

QString of(QStringView address);
// The same key, always through QUrl's reading of the address (of() reads plain addresses itself).
QString parsed(QStringView address);

// One link's address, for the duplicate searches.
struct Numbered
{
    qint64 number = 0;
    QStringView address;
};

// The links whose key another link with a lower number shares: of each set of twins all but
// the lowest number, ascending. Blank addresses have no twins.
std::vector<qint64> laterTwins(std::span<const Numbered> links);

} // namespace UrlKey

// The registered links' keys held in memory, to find a new page's twins as it completes.
// Keys are kept as 64-bit hashes (16 bytes a link): two different keys share one with a chance
// of about one in 10^14 per lookup at 100,000 links, which would only show a needless warning.
// The selection for deletion (laterTwins) compares the keys themselves.
class UrlTwins
{
public:
    void rebuild(std::span<const UrlKey::Numbered> links);
    // The same one link at a time: add() every link, then finish() before any other call.
    void add(qint64 number, QStringView address);
    void finish();
    // Adds the link, or gives it a new address.
    void insert(qint64 number, QStringView address);
    void remove(qint64 number);
    void remove(std::span<const qint64> numbers);
    void clear() { m_entries.clear(); }

    // The links whose address is the same page as address, ascending by number.
    std::vector<qint64> sharing(QStringView address) const;

    qsizetype size() const { return qsizetype(m_entries.size()); }
    size_t memoryBytes() const { return m_entries.capacity() * sizeof(Entry); }

private:
    struct Entry
    {
        quint64 hash;
        qint64 number;
        bool operator<(const Entry &o) const
        {
            return hash != o.hash ? hash < o.hash : number < o.number;
        }
    };
    static quint64 hashOf(QStringView key);

    std::vector<Entry> m_entries; // sorted by hash, then number
};
