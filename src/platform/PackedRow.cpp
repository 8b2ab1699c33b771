#include "PackedRow.h"

#include <QHash>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
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
// The header's width code of a row with a shared cell: a byte follows with the ends' width code
// and the shared cell's place, then three bytes of the text's number among the shared texts.
constexpr quint8 kSharedCode = 3;
constexpr size_t kSharedBytes = 4;

// Texts many rows hold (a group's name), each kept once for the life of the program and never
// changed, so that a row holds three bytes instead of the text. Few: a text not seen before is
// added under a lock; reading one takes none.
class SharedTexts
{
public:
    static constexpr quint32 kNone = 0xFFFFFFFF;
    static SharedTexts &instance()
    {
        static SharedTexts texts;
        return texts;
    }
    quint32 idOf(QByteArrayView text)
    {
        const std::lock_guard lock(m_lock);
        const QByteArray key = text.toByteArray();
        if (const auto it = m_ids.constFind(key); it != m_ids.cend())
            return *it;
        if (m_count >= kChunks * kChunk)
            return kNone;
        QByteArray *&chunk = m_chunks[m_count / kChunk];
        if (!chunk)
            chunk = new QByteArray[kChunk];
        chunk[m_count % kChunk] = key;
        m_published.store(m_count + 1, std::memory_order_release);
        m_ids.insert(key, m_count);
        return m_count++;
    }
    QByteArrayView text(quint32 id) const
    {
        // The row that names the text was made after it, and handed over with its block.
        (void)m_published.load(std::memory_order_acquire);
        return m_chunks[id / kChunk][id % kChunk];
    }

private:
    static constexpr quint32 kChunk = 4096, kChunks = 4096; // 2^24 texts, three bytes
    std::mutex m_lock;
    QHash<QByteArray, quint32> m_ids;
    QByteArray *m_chunks[kChunks] = {};
    quint32 m_count = 0;
    std::atomic<quint32> m_published {0};
};

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

    quint32 shared = 0xFFFFFFFF; // the shared cell's place; none when no cell has it
    quint32 sharedId = 0;

    explicit Layout(const char *row)
    {
        row += kBack;
        const auto head = quint8(*row);
        count = head >> 2;
        ends = row + 1;
        quint8 code = head & 3;
        if (code == kSharedCode) {
            const auto b = reinterpret_cast<const quint8 *>(ends);
            code = b[0] & 3;
            shared = b[0] >> 2;
            sharedId = b[1] | quint32(b[2]) << 8 | quint32(b[3]) << 16;
            ends += kSharedBytes;
        }
        width = widthOf(code);
        if (count == kManyCells) {
            std::memcpy(&count, ends, sizeof count);
            ends += sizeof count;
        }
    }
    quint32 end(quint32 i) const { return load(ends + width * i, width); }
    const char *text() const { return ends + width * count; }
};

// A shared cell's text is not in the row.
size_t textOf(std::span<const QByteArrayView> cells, int shared = -1)
{
    size_t total = 0;
    for (size_t i = 0; i < cells.size(); ++i)
        total += int(i) == shared ? 0 : size_t(cells[i].size());
    return total;
}

// The row at base + place; cell shared (when >= 0) is the shared text sharedId.
void write(char *base, size_t place, std::span<const QByteArrayView> cells, int shared = -1,
           quint32 sharedId = 0)
{
    char *p = base + place;
    for (size_t i = 0; i < kBack; ++i)
        p[i] = char(quint8(place >> (8 * i)));
    p += kBack;
    const auto n = quint32(cells.size());
    const quint8 code = widthCode(textOf(cells, shared));
    const size_t width = widthOf(code);
    *p = char(quint8((shared >= 0 ? kSharedCode : code) | (qMin(n, kManyCells) << 2)));
    char *ends = p + 1;
    if (shared >= 0) {
        ends[0] = char(quint8(code | (shared << 2)));
        for (size_t i = 0; i < 3; ++i)
            ends[1 + i] = char(quint8(sharedId >> (8 * i)));
        ends += kSharedBytes;
    }
    if (n >= kManyCells) {
        std::memcpy(ends, &n, sizeof n);
        ends += sizeof n;
    }
    char *text = ends + width * n;
    quint32 at = 0;
    for (quint32 i = 0; i < n; ++i) {
        const QByteArrayView c = int(i) == shared ? QByteArrayView() : cells[i];
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

size_t PackedRow::bytesFor(std::span<const QByteArrayView> cells, int shared)
{
    const size_t text = textOf(cells, shared);
    return kBack + 1 + (shared >= 0 ? kSharedBytes : 0)
        + (cells.size() >= kManyCells ? sizeof(quint32) : 0)
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

PackedRow PackedRow::Packer::make(std::span<const QByteArrayView> cells, int shared)
{
    quint32 sharedId = SharedTexts::kNone;
    // Shared only where it saves bytes, and only among the first cells the byte can name.
    if (shared >= 0 && size_t(shared) < cells.size() && shared < int(kManyCells)
        && size_t(cells[size_t(shared)].size()) > kSharedBytes)
        sharedId = SharedTexts::instance().idOf(cells[size_t(shared)]);
    if (sharedId == SharedTexts::kNone)
        shared = -1;
    const size_t need = bytesFor(cells, shared);
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
    write(m_block, m_used, cells, shared, sharedId);
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
    if (quint32(i) == l.shared)
        return SharedTexts::instance().text(l.sharedId);
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
