#pragma once

#include <QString>

#include <cstdint>
#include <limits>
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
// Keys are kept as 32-bit hashes beside 32-bit link numbers (8 bytes a link; numbers that do not
// fit are kept apart with 16): two different keys share a hash with a chance of about one in
// 4,000 per lookup at a million links, so sharing() gives candidates, which the caller confirms
// by the key of each one's address. The selection for deletion (laterTwins) compares the keys
// themselves.
class UrlTwins
{
public:
    void rebuild(std::span<const UrlKey::Numbered> links);
    // The same one link at a time: reserve() the count when known, add() every link, then
    // finish() before any other call.
    void reserve(size_t links) { m_entries.reserve(links); }
    void add(qint64 number, QStringView address);
    void finish();
    // Adds the link, or gives it a new address.
    void insert(qint64 number, QStringView address);
    void remove(qint64 number);
    void remove(std::span<const qint64> numbers);
    void clear()
    {
        m_entries = {};
        m_wide = {};
    }

    // The links whose address may be the same page as address (every one that is, and rarely
    // one that only shares the hash), ascending by number.
    std::vector<qint64> sharing(QStringView address) const;

    qsizetype size() const { return qsizetype(m_entries.size() + m_wide.size()); }
    size_t memoryBytes() const
    {
        return m_entries.capacity() * sizeof(Entry) + m_wide.capacity() * sizeof(Wide);
    }

private:
    struct Entry // a link numbered 0 .. 2^32-1
    {
        quint32 hash;
        quint32 number;
        auto operator<=>(const Entry &) const = default;
    };
    struct Wide // any other number
    {
        quint32 hash;
        qint64 number;
        auto operator<=>(const Wide &) const = default;
    };
    static quint32 hashOf(QStringView key);
    static bool fits(qint64 number) { return number >= 0 && number <= qint64(UINT32_MAX); }

    std::vector<Entry> m_entries; // sorted by hash, then number
    std::vector<Wide> m_wide; // the same
};
