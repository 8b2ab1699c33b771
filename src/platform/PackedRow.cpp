#include "PackedRow.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

// Each allocation (a block of packed rows, or one row alone) begins with its count of owners;
// each row begins with how far it is from there (three bytes), so that a handle is one pointer.
// Blocks are not aligned to find their start: aligned blocks leave holes in the heap.
constexpr size_t kPackBlock = 256 * 1024 - 64; // 64 pages with malloc's own header
constexpr size_t kOwners = 8;
constexpr size_t kBack = 3;
constexpr quint32 kManyCells = 63; // the header byte's count; more cells are counted apart

using Owners = std::atomic<quint32>;

Owners &ownersOf(char *base)
{
    return *std::launder(reinterpret_cast<Owners *>(base));
}

char *baseOf(const char *row)
{
    const auto *b = reinterpret_cast<const quint8 *>(row);
    const size_t back = b[0] | size_t(b[1]) << 8 | size_t(b[2]) << 16;
    return const_cast<char *>(row - back);
}

quint32 load(const char *p, size_t width)
{
    switch (width) {
    case 1: return quint8(*p);
    case 2: {
        quint16 v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    default: {
        quint32 v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    }
}

void store(char *p, size_t width, quint32 v)
{
    switch (width) {
    case 1: *p = char(quint8(v)); break;
    case 2: {
        const auto w = quint16(v);
        std::memcpy(p, &w, sizeof w);
        break;
    }
    default: std::memcpy(p, &v, sizeof v);
    }
}

// Bytes of each cell's end: as few as the row's whole text needs.
quint8 widthCode(size_t textBytes)
{
    return textBytes < 0x100 ? 0 : textBytes < 0x10000 ? 1 : 2;
}
size_t widthOf(quint8 code)
{
    return size_t(1) << code;
}

// How a row's bytes are laid out: its cells, the width of their ends, where the ends start.
struct Layout
{
    quint32 count = 0;
    size_t width = 1;
    const char *ends = nullptr;

    explicit Layout(const char *row)
    {
        row += kBack;
        const auto head = quint8(*row);
        width = widthOf(head & 3);
        count = head >> 2;
        ends = row + 1;
        if (count == kManyCells) {
            std::memcpy(&count, ends, sizeof count);
            ends += sizeof count;
        }
    }
    quint32 end(quint32 i) const { return load(ends + width * i, width); }
    const char *text() const { return ends + width * count; }
};

size_t textOf(std::span<const QByteArrayView> cells)
{
    size_t total = 0;
    for (const QByteArrayView &c : cells)
        total += size_t(c.size());
    return total;
}

// The row at base + place.
void write(char *base, size_t place, std::span<const QByteArrayView> cells)
{
    char *p = base + place;
    for (size_t i = 0; i < kBack; ++i)
        p[i] = char(quint8(place >> (8 * i)));
    p += kBack;
    const auto n = quint32(cells.size());
    const quint8 code = widthCode(textOf(cells));
    const size_t width = widthOf(code);
    *p = char(quint8(code | (qMin(n, kManyCells) << 2)));
    char *ends = p + 1;
    if (n >= kManyCells) {
        std::memcpy(ends, &n, sizeof n);
        ends += sizeof n;
    }
    char *text = ends + width * n;
    quint32 at = 0;
    for (quint32 i = 0; i < n; ++i) {
        const QByteArrayView c = cells[i];
        if (!c.isEmpty())
            std::memcpy(text + at, c.data(), size_t(c.size()));
        at += quint32(c.size());
        store(ends + width * i, width, at);
    }
}

void drop(char *base)
{
    if (ownersOf(base).fetch_sub(1, std::memory_order_acq_rel) == 1)
        std::free(base);
}

} // namespace

size_t PackedRow::bytesFor(std::span<const QByteArrayView> cells)
{
    const size_t text = textOf(cells);
    return kBack + 1 + (cells.size() >= kManyCells ? sizeof(quint32) : 0)
        + cells.size() * widthOf(widthCode(text)) + text;
}

PackedRow::PackedRow(std::span<const QByteArrayView> cells)
{
    if (cells.empty())
        return;
    auto *base = static_cast<char *>(std::malloc(kOwners + bytesFor(cells)));
    if (!base)
        throw std::bad_alloc();
    new (base) Owners(1);
    write(base, kOwners, cells);
    m_row = base + kOwners;
}

PackedRow::Packer::~Packer()
{
    if (m_block)
        drop(m_block);
}

PackedRow PackedRow::Packer::make(std::span<const QByteArrayView> cells)
{
    const size_t need = bytesFor(cells);
    if (cells.empty() || need > kPackBlock / 8)
        return PackedRow(cells);
    if (!m_block || m_used + need > kPackBlock) {
        auto *block = static_cast<char *>(std::malloc(kPackBlock));
        if (!block)
            throw std::bad_alloc();
        new (block) Owners(1); // the packer's own hold
        if (m_block)
            drop(m_block);
        m_block = block;
        m_used = kOwners;
    }
    write(m_block, m_used, cells);
    PackedRow row;
    row.m_row = m_block + m_used;
    m_used += need;
    ownersOf(m_block).fetch_add(1, std::memory_order_relaxed);
    return row;
}

void PackedRow::retain() const
{
    if (m_row)
        ownersOf(baseOf(m_row)).fetch_add(1, std::memory_order_relaxed);
}

void PackedRow::release()
{
    if (m_row)
        drop(baseOf(m_row));
    m_row = nullptr;
}

int PackedRow::size() const
{
    return m_row ? int(Layout(m_row).count) : 0;
}

QByteArrayView PackedRow::cell(int i) const
{
    if (i < 0 || !m_row)
        return {};
    const Layout l(m_row);
    if (quint32(i) >= l.count)
        return {};
    const quint32 from = i == 0 ? 0 : l.end(quint32(i) - 1);
    return QByteArrayView(l.text() + from, qsizetype(l.end(quint32(i)) - from));
}

void PackedRow::set(int i, QByteArrayView value)
{
    if (i < 0)
        return;
    const int n = qMax(size(), i + 1);
    std::vector<QByteArrayView> cells(static_cast<size_t>(n));
    for (int c = 0; c < n; ++c)
        cells[size_t(c)] = c == i ? value : cell(c);
    // The new row is complete before the old one, which the views point into, goes.
    *this = PackedRow(cells);
}

void PackedRow::truncate(int n)
{
    if (n >= size())
        return;
    std::vector<QByteArrayView> cells(static_cast<size_t>(qMax(n, 0)));
    for (int c = 0; c < int(cells.size()); ++c)
        cells[size_t(c)] = cell(c);
    *this = PackedRow(cells);
}
