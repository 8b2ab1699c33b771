#pragma once

#include "search/NumberSlots.h"
#include "search/TextArena.h"

#include <QByteArrayView>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

class ByteFinder;
class LinkSearch;

// The links a search found, in the list's order.
class SearchResult
{
public:
    // Link numbers in list order; links without a list position come last, by number.
    std::vector<qint64> numbers;
    // The list position of each of them (see LinkSearch::setListOrder), -1 for none.
    std::vector<qint32> positions;
    // The folded words searched for.
    QStringList words;

    bool isEmpty() const { return numbers.empty(); }

private:
    friend class LinkSearch;
    quint64 m_generation = 0; // of the index it came from; 0: none
    std::vector<quint32> m_slots;
};

// The search over the whole collection: per link its number and the folded text of its address,
// title and description, all links in one block of memory. A query matches a link when each of
// its words occurs in that text. Kept correct link by link (upsert, remove) or rebuilt whole.
//
// The folded text is held in a code of its own, chosen for the collection: ASCII as one byte,
// the 2,048 non-ASCII characters met first (in a Japanese collection the kana and the common
// kanji) as two bytes, every other character as three or four. Like UTF-8 it never lets a match
// start inside a character, so a byte search is a character search; Japanese text takes about
// two thirds of its UTF-8 size.
class LinkSearch
{
public:
    // One link's texts as UTF-8, as the engine and the list's rows hold them.
    struct Fields
    {
        qint64 number = 0;
        QByteArrayView address;
        QByteArrayView title;
        QByteArrayView description;
    };

    LinkSearch();

    // Replaces everything; links[i] gets list position i. A number given twice keeps its last
    // texts and its first position.
    void rebuild(std::span<const Fields> links);
    // The same with link i's texts asked for by place (twice each), so that the caller holds no
    // list of them beside the index it builds.
    void rebuild(size_t count, const std::function<Fields(size_t)> &link);
    // The same with the links handed over one at a time, in any order, by each(add), without a
    // list position (setListOrder gives them): each may read them straight from the database.
    // count and textBytes (their UTF-8) size the memory once; false, and nothing held, when
    // each fails.
    using AddFn = std::function<void(const Fields &)>;
    using EachFn = std::function<bool(const AddFn &add)>;
    bool rebuild(size_t count, size_t textBytes, const EachFn &each);
    // Adds a link or replaces its texts. An existing link keeps its list position; a new one
    // has none until the next setListOrder.
    void upsert(const Fields &link);
    // False when the number was not there.
    bool remove(qint64 number);
    void remove(std::span<const qint64> numbers);
    void clear();

    // The list's order: numbers[i] is shown at position i. Numbers the index does not hold are
    // skipped; links not named get no position.
    void setListOrder(std::span<const qint64> numbers);
    // The same with the number at position i asked for: no list of a million numbers beside.
    void setListOrder(size_t count, const std::function<qint64(size_t)> &numberAt);

    // Links matching every word of the query (an empty query matches every link). previous,
    // when it came from this index unchanged since and its words are implied by the query's
    // (typing on), limits the work to its links.
    SearchResult find(QStringView query, const SearchResult *previous = nullptr) const;
    SearchResult find(const QStringList &foldedWords, const SearchResult *previous = nullptr) const;

    qsizetype size() const { return qsizetype(m_slots.size()); }
    bool contains(qint64 number) const { return m_slots.slotOf(number) != NumberSlots::kNone; }
    // Changes with every change of texts or order; a result of another generation is stale.
    quint64 generation() const { return m_generation; }
    // Bytes held, for the benchmark's figures.
    size_t memoryBytes() const;
    // Bytes of folded text in use (separators included), and characters held in two bytes.
    size_t textBytes() const { return m_used - m_garbage; }
    int shortCodes() const { return m_nextShort; }

private:
    void startBuild(size_t count, size_t textBytes);
    void finishBuild();
    void appendField(QByteArrayView utf8);
    void appendFolded(QStringView folded);
    void appendSpace();
    void push(char c)
    {
        m_text.push_back(c);
        ++m_bytes[quint8(c)];
    }
    void encodeLink(const Fields &link);
    quint32 appendSlot(const Fields &link, qint32 position);
    void blank(quint32 slot);
    void compactIfWasteful();
    bool encodeWord(const QString &word, QByteArray *out) const;
    quint64 rarity(const ByteFinder &finder) const;
    bool holdsAll(quint32 slot, std::span<const ByteFinder *const> finders) const;
    std::vector<quint32> scanAll(std::span<const ByteFinder *const> finders) const;

    TextArena m_text; // m_used bytes, then spaces to the end
    size_t m_used = 0;
    size_t m_garbage = 0; // bytes of removed or shrunk links
    std::vector<quint32> m_start; // per slot; m_start[slots] is m_used
    NumberSlots m_slots; // the number of each slot, and the slot of each number
    std::vector<qint32> m_position; // per slot, -1 for none
    std::vector<quint32> m_slotAt; // per list position: its slot (stale once the slot is dropped)

    std::vector<quint16> m_code; // per UTF-16 unit
    std::array<quint64, 256> m_bytes {};
    int m_nextShort = 0;
    quint64 m_generation = 1;
};
