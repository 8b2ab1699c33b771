#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>
#include <functional>
#include <vector>

#include "PackedRow.h"

// The cells of one grid, each row packed as UTF-8 and turned into text only when read.
// Columns and rows count from 1 as the windows number them; row 0 is the header row and
// column 0 the row-number column (Qt's headers).
class GridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum class Kind { Text, Number, ComboList };

    struct Column
    {
        QString header;
        bool hidden = false;
        double width = 8.43; // in average characters
        bool locked = false;
        Kind kind = Kind::Text;
        int maxLength = 0; // 0: no limit
        int decimals = 0;
        double min = -1e300;
        double max = 1e300;
        QStringList items;
        QColor foreground;
        Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
        // The column whose text an empty cell of this one shows (0: none). Only shown: the
        // cell, its editor and GetText stay empty.
        int shownWhenEmpty = 0;
    };

    explicit GridModel(QObject *parent = nullptr);

    int MaxCols() const { return m_cols; }
    void SetMaxCols(int n);
    int MaxRows() const { return m_rows; }
    void SetMaxRows(int n);

    QString GetText(int col, int row) const;
    // A program write: no change notification. Number cells keep their formatted text.
    void SetText(int col, int row, const QString &text);
    void InsertRows(int first, int count);
    void DeleteRows(int first, int count);
    void ClearAll();
    // Replaces every row in one step; each row gives the cells of the first columns. Cells
    // past the grid's columns are dropped.
    void fillRows(std::vector<PackedRow> &&rows);
    // Rows that begin with the rows held (the same texts) and go on: the rest is added at the
    // end as one insertion, and the vector is kept as it is (no copy of a long list).
    void extendRows(std::vector<PackedRow> &&rows);
    // Row r's cells as held, without decoding them (1 <= r <= MaxRows()).
    const PackedRow &row(int r) const { return m_data[size_t(r - 1)]; }
    const std::vector<PackedRow> &rows() const { return m_data; }

    // The tooltip of a cell, asked for only when one is about to show; empty for none.
    void setToolTip(std::function<QString(int col, int row)> toolTip)
    {
        m_toolTip = std::move(toolTip);
    }

    // While updates are off, cell writes are collected and shown in one step afterwards.
    void SetScreenUpdate(bool on);

    Column &column(int col);
    const Column &column(int col) const;
    void columnChanged(int col);

    // The text a number cell shows for a value, or an empty text for no value; false when
    // the text is no number or outside the column's range.
    bool formatNumber(int col, const QString &text, QString *out) const;

    // QAbstractTableModel
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

Q_SIGNALS:
    // The user changed a cell (typed or picked), never the program.
    void userChanged(int col, int row);

private:
    QString cell(int col, int row) const { return m_data[size_t(row - 1)].text(col - 1); }
    void setCell(int col, int row, const QString &text)
    {
        m_data[size_t(row - 1)].set(col - 1, text.toUtf8());
    }
    bool valid(int col, int row) const
    {
        return col >= 1 && col <= m_cols && row >= 1 && row <= m_rows;
    }

    int m_cols = 0;
    int m_rows = 0;
    std::vector<PackedRow> m_data;
    std::vector<Column> m_columns;
    std::function<QString(int, int)> m_toolTip;
    bool m_updates = true;
    bool m_dirty = false;
};
