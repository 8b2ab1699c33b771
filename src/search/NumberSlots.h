#pragma once

#include <QHash>

#include <cstdint>
#include <vector>

// The link number held in each slot of the search index, and the slot of a number. A number
// from 0 to 2^32-3 takes 4 bytes; any other (2^32-2 and above, negative ones) is kept in a side
// table. The slot of a number is found through an open-addressing table of 32-bit slots with
// linear probing, at most 8 bytes a link: a million links take 12 MB where a hash of 64-bit keys
// took about 30.
class NumberSlots
{
public:
    static constexpr quint32 kNone = 0xFFFFFFFF;

    void clear();
    // Room for count slots in all, so that appending them allocates nothing more.
    void reserve(size_t count);
    // A new slot for number, which then finds it; an earlier slot of the same number is dropped.
    quint32 append(qint64 number);
    // The slot's number no longer counts: the slot stays, empty, and is no longer found.
    void drop(quint32 slot);

    quint32 slotOf(qint64 number) const; // kNone when not held
    bool live(quint32 slot) const { return m_narrow[slot] != kDropped; }
    // The slot's number; only for a live slot.
    qint64 number(quint32 slot) const
    {
        const quint32 n = m_narrow[slot];
        return n < kWide ? qint64(n) : m_wide.value(slot);
    }

    size_t slotCount() const { return m_narrow.size(); }
    size_t size() const { return m_live; } // live slots
    size_t memoryBytes() const;

private:
    static constexpr quint32 kWide = 0xFFFFFFFE; // the number is in m_wide
    static constexpr quint32 kDropped = 0xFFFFFFFF;

    size_t home(qint64 number) const;
    size_t find(qint64 number) const; // its cell in m_table, or the empty cell it would take
    void grow(size_t live);
    void unlink(size_t cell);

    std::vector<quint32> m_narrow; // per slot
    QHash<quint32, qint64> m_wide; // slot -> number, for numbers that do not fit
    std::vector<quint32> m_table; // a power of two of cells, kNone for empty
    size_t m_live = 0;
};
