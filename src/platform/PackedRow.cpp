#include "PackedRow.h"

#include <cstring>
#include <vector>

namespace {

quint32 load(const char *p)
{
    quint32 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void store(char *p, quint32 v)
{
    std::memcpy(p, &v, sizeof v);
}

} // namespace

namespace {

size_t bytesFor(std::span<const QByteArrayView> cells)
{
    size_t total = sizeof(quint32) * (cells.size() + 1);
    for (const QByteArrayView &c : cells)
        total += size_t(c.size());
    return total;
}

void write(char *p, std::span<const QByteArrayView> cells)
{
    const auto n = quint32(cells.size());
    store(p, n);
    char *text = p + sizeof(quint32) * (size_t(n) + 1);
    quint32 at = 0;
    for (quint32 i = 0; i < n; ++i) {
        const QByteArrayView c = cells[i];
        if (!c.isEmpty())
            std::memcpy(text + at, c.data(), size_t(c.size()));
        at += quint32(c.size());
        store(p + sizeof(quint32) * (i + 1), at);
    }
}

constexpr size_t kPackBlock = 256 * 1024;

} // namespace

PackedRow::PackedRow(std::span<const QByteArrayView> cells)
{
    if (cells.empty())
        return;
    auto block = std::make_shared_for_overwrite<char[]>(bytesFor(cells));
    write(block.get(), cells);
    m_block = std::move(block);
}

PackedRow PackedRow::Packer::make(std::span<const QByteArrayView> cells)
{
    const size_t need = bytesFor(cells);
    if (cells.empty() || need > kPackBlock / 8)
        return PackedRow(cells);
    if (!m_block || m_used + need > kPackBlock) {
        m_block = std::make_shared_for_overwrite<char[]>(kPackBlock);
        m_used = 0;
    }
    char *p = m_block.get() + m_used;
    write(p, cells);
    m_used += need;
    PackedRow row;
    row.m_block = std::shared_ptr<const char[]>(m_block, p); // owned by the shared block
    return row;
}

int PackedRow::size() const
{
    return m_block ? int(load(m_block.get())) : 0;
}

quint32 PackedRow::end(int i) const
{
    return load(m_block.get() + sizeof(quint32) * size_t(i + 1));
}

const char *PackedRow::bytes() const
{
    return m_block.get() + sizeof(quint32) * (size_t(size()) + 1);
}

QByteArrayView PackedRow::cell(int i) const
{
    if (i < 0 || i >= size())
        return {};
    const quint32 from = i == 0 ? 0 : end(i - 1);
    return QByteArrayView(bytes() + from, qsizetype(end(i) - from));
}

void PackedRow::set(int i, QByteArrayView value)
{
    if (i < 0)
        return;
    const int n = qMax(size(), i + 1);
    std::vector<QByteArrayView> cells(static_cast<size_t>(n));
    for (int c = 0; c < n; ++c)
        cells[size_t(c)] = c == i ? value : cell(c);
    // The new block is complete before the old one, which the views point into, goes.
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
