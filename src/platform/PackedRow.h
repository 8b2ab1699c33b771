#pragma once

#include <QByteArrayView>
#include <QString>
#include <initializer_list>
#include <memory>
#include <span>

// One grid row as one block of memory: the cells' UTF-8 texts one after the other, behind a
// table of where each ends. A list of 100,000 links then costs one allocation per row instead
// of one per cell, and is filled straight from the engine's UTF-8 texts. A block never changes
// once made (an edit makes a new one), so copies share it: showing a search's rows copies no
// text.
class PackedRow
{
public:
    PackedRow() = default;
    explicit PackedRow(std::span<const QByteArrayView> cells);
    PackedRow(std::initializer_list<QByteArrayView> cells)
        : PackedRow(std::span<const QByteArrayView>(cells.begin(), cells.size()))
    {
    }

    PackedRow(const PackedRow &other) = default;
    PackedRow &operator=(const PackedRow &other) = default;
    PackedRow(PackedRow &&) noexcept = default;
    PackedRow &operator=(PackedRow &&) noexcept = default;

    // Rows made one after the other into shared blocks of memory, for a list read at once: no
    // allocation and no count of owners per row. A block goes with the last of its rows.
    class Packer
    {
    public:
        PackedRow make(std::span<const QByteArrayView> cells);
        PackedRow make(std::initializer_list<QByteArrayView> cells)
        {
            return make(std::span<const QByteArrayView>(cells.begin(), cells.size()));
        }

    private:
        std::shared_ptr<char[]> m_block;
        size_t m_used = 0;
    };

    // Cells held; cells past them read as empty.
    int size() const;
    QByteArrayView cell(int i) const;
    QString text(int i) const { return QString::fromUtf8(cell(i)); }
    // Rewrites one cell, growing the row when it is past the end.
    void set(int i, QByteArrayView value);
    // Drops the cells from n on.
    void truncate(int n);

private:
    quint32 end(int i) const;
    const char *bytes() const;

    std::shared_ptr<const char[]> m_block; // quint32 count, quint32 end[count], then the texts
};
