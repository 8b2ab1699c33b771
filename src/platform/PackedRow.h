#pragma once

#include <QByteArrayView>
#include <QString>
#include <initializer_list>
#include <span>

// One grid row as one block of memory: how far the row is from the start of its allocation, a
// byte holding how many cells and how wide their ends are, where each cell ends (one byte each when
// the row's text is under 256 bytes, two under 64 KB, four otherwise), then the cells' UTF-8 texts
// one after the other. A list of a million links then costs one allocation per few thousand rows
// and a pointer per row, and is filled straight from the engine's UTF-8 texts. A row never changes
// once made (an edit makes a new one), so copies share it: showing a search's rows copies no text.
class PackedRow
{
public:
    PackedRow() = default;
    explicit PackedRow(std::span<const QByteArrayView> cells);
    PackedRow(std::initializer_list<QByteArrayView> cells)
        : PackedRow(std::span<const QByteArrayView>(cells.begin(), cells.size()))
    {
    }
    ~PackedRow() { release(); }

    PackedRow(const PackedRow &other)
        : m_row(other.m_row)
    {
        retain();
    }
    PackedRow &operator=(const PackedRow &other)
    {
        if (m_row != other.m_row) {
            other.retain();
            release();
            m_row = other.m_row;
        }
        return *this;
    }
    PackedRow(PackedRow &&other) noexcept
        : m_row(other.m_row)
    {
        other.m_row = nullptr;
    }
    PackedRow &operator=(PackedRow &&other) noexcept
    {
        if (this != &other) {
            release();
            m_row = other.m_row;
            other.m_row = nullptr;
        }
        return *this;
    }

    // Rows made one after the other into shared blocks of memory, for a list read at once: no
    // allocation per row. A block goes with the last of its rows.
    class Packer
    {
    public:
        Packer() = default;
        Packer(const Packer &) = delete;
        Packer &operator=(const Packer &) = delete;
        ~Packer();
        // shared, when >= 0, names a cell whose text many rows hold (a group's name): the
        // text is kept once for the life of the program, the row holds its number.
        PackedRow make(std::span<const QByteArrayView> cells, int shared = -1);
        PackedRow make(std::initializer_list<QByteArrayView> cells, int shared = -1)
        {
            return make(std::span<const QByteArrayView>(cells.begin(), cells.size()), shared);
        }

    private:
        char *m_block = nullptr; // held by the packer until the next one
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

    // Bytes a row of these cells takes in its block (handle and block header not counted).
    static size_t bytesFor(std::span<const QByteArrayView> cells, int shared = -1);

private:
    void retain() const;
    void release();

    const char *m_row = nullptr; // inside an allocation shared by its rows' handles
};
