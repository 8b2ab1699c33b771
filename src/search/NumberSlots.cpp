#include "search/NumberSlots.h"

#include <bit>

namespace {

// At most seven cells in ten in use: short probes, and a million links fit in 2^21 cells.
size_t cellsFor(size_t live)
{
    return std::bit_ceil(qMax<size_t>(16, live + live * 3 / 7 + 1));
}

} // namespace

void NumberSlots::clear()
{
    m_narrow = {};
    m_wide.clear();
    m_table = {};
    m_live = 0;
}

void NumberSlots::reserve(size_t count)
{
    if (count > m_narrow.capacity()) {
        std::vector<quint32> narrow;
        narrow.reserve(count); // exactly: no doubling's slack left with a million links
        narrow.assign(m_narrow.begin(), m_narrow.end());
        m_narrow = std::move(narrow);
    }
    if (cellsFor(count) > m_table.size())
        grow(count);
}

size_t NumberSlots::home(qint64 number) const
{
    auto x = quint64(number);
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDull;
    x ^= x >> 33;
    return size_t(x) & (m_table.size() - 1);
}

size_t NumberSlots::find(qint64 number) const
{
    const size_t mask = m_table.size() - 1;
    for (size_t i = home(number);; i = (i + 1) & mask) {
        const quint32 s = m_table[i];
        if (s == kNone || this->number(s) == number)
            return i;
    }
}

quint32 NumberSlots::slotOf(qint64 number) const
{
    return m_table.empty() ? kNone : m_table[find(number)];
}

void NumberSlots::grow(size_t live)
{
    m_table.assign(cellsFor(live), kNone);
    for (quint32 s = 0; s < m_narrow.size(); ++s) {
        if (this->live(s))
            m_table[find(number(s))] = s;
    }
}

quint32 NumberSlots::append(qint64 number)
{
    if (const quint32 old = slotOf(number); old != kNone)
        drop(old);
    if (cellsFor(m_live + 1) > m_table.size())
        grow(m_live + 1);
    const auto slot = quint32(m_narrow.size());
    if (m_narrow.size() == m_narrow.capacity())
        reserve(m_narrow.size() + m_narrow.size() / 16 + 16); // a registration adds little
    if (number >= 0 && number < qint64(kWide)) {
        m_narrow.push_back(quint32(number));
    } else {
        m_narrow.push_back(kWide);
        m_wide.insert(slot, number);
    }
    m_table[find(number)] = slot;
    ++m_live;
    return slot;
}

void NumberSlots::unlink(size_t cell)
{
    // Later cells of the same run move back over the gap, so that no search stops early.
    const size_t mask = m_table.size() - 1;
    size_t gap = cell;
    for (size_t i = (cell + 1) & mask; m_table[i] != kNone; i = (i + 1) & mask) {
        const size_t want = home(number(m_table[i]));
        // The entry may fill the gap when its home is not between the gap and it (cyclically).
        if (((i - want) & mask) >= ((i - gap) & mask)) {
            m_table[gap] = m_table[i];
            gap = i;
        }
    }
    m_table[gap] = kNone;
}

void NumberSlots::drop(quint32 slot)
{
    if (!live(slot))
        return;
    const size_t cell = find(number(slot));
    if (m_table[cell] == slot) {
        unlink(cell);
        --m_live;
    }
    if (m_narrow[slot] == kWide)
        m_wide.remove(slot);
    m_narrow[slot] = kDropped;
}

size_t NumberSlots::memoryBytes() const
{
    return (m_narrow.capacity() + m_table.capacity()) * sizeof(quint32) + size_t(m_wide.capacity())
        + size_t(m_wide.size()) * 16;
}
