#include "GridModel.h"

#include "platform/NumberText.h"

#include <QLocale>

GridModel::GridModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void GridModel::SetMaxCols(int n)
{
    n = qMax(0, n);
    if (n == m_cols)
        return;
    beginResetModel();
    if (n < m_cols) {
        for (PackedRow &row : m_data)
            row.truncate(n);
    }
    m_cols = n;
    m_columns.resize(size_t(n));
    endResetModel();
}

void GridModel::SetMaxRows(int n)
{
    n = qMax(0, n);
    if (n == m_rows)
        return;
    if (!m_updates) {
        m_rows = n;
        m_data.resize(size_t(n));
        m_dirty = true;
        return;
    }
    if (n > m_rows) {
        beginInsertRows({}, m_rows, n - 1);
        m_data.resize(size_t(n));
        m_rows = n;
        endInsertRows();
    } else {
        beginRemoveRows({}, n, m_rows - 1);
        m_data.resize(size_t(n));
        m_data.shrink_to_fit();
        m_rows = n;
        endRemoveRows();
    }
}

QString GridModel::GetText(int col, int row) const
{
    return valid(col, row) ? cell(col, row) : QString();
}

bool GridModel::formatNumber(int col, const QString &text, QString *out) const
{
    const Column &c = column(col);
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        *out = QString();
        return true;
    }
    bool ok = false;
    double v = t.toDouble(&ok);
    if (!ok)
        v = QLocale().toDouble(t, &ok);
    if (!ok || v < c.min || v > c.max)
        return false;
    *out = QString::number(v, 'f', c.decimals);
    return true;
}

void GridModel::SetText(int col, int row, const QString &text)
{
    if (!valid(col, row))
        return;
    QString value = text;
    if (column(col).kind == Kind::Number) {
        QString formatted;
        if (formatNumber(col, text, &formatted))
            value = formatted;
    }
    setCell(col, row, value);
    if (m_updates) {
        const QModelIndex i = index(row - 1, col - 1);
        Q_EMIT dataChanged(i, i);
    } else {
        m_dirty = true;
    }
}

void GridModel::InsertRows(int first, int count)
{
    if (count <= 0 || first < 1 || first > m_rows + 1)
        return;
    beginInsertRows({}, first - 1, first + count - 2);
    m_data.insert(m_data.begin() + (first - 1), size_t(count), PackedRow());
    m_rows += count;
    endInsertRows();
}

void GridModel::DeleteRows(int first, int count)
{
    if (first < 1 || first > m_rows || count <= 0)
        return;
    count = qMin(count, m_rows - first + 1);
    beginRemoveRows({}, first - 1, first + count - 2);
    const auto from = m_data.begin() + (first - 1);
    m_data.erase(from, from + count);
    m_rows -= count;
    endRemoveRows();
}

void GridModel::fillRows(std::vector<PackedRow> &&rows)
{
    beginResetModel();
    m_data = std::move(rows);
    m_data.shrink_to_fit();
    for (PackedRow &row : m_data)
        row.truncate(m_cols);
    m_rows = int(m_data.size());
    endResetModel();
}

void GridModel::extendRows(std::vector<PackedRow> &&rows)
{
    if (rows.size() <= m_data.size())
        return;
    const int first = m_rows;
    if (m_updates)
        beginInsertRows({}, first, int(rows.size()) - 1);
    for (PackedRow &row : rows)
        row.truncate(m_cols);
    m_data = std::move(rows);
    m_rows = int(m_data.size());
    if (m_updates)
        endInsertRows();
    else
        m_dirty = true;
}

void GridModel::ClearAll()
{
    for (PackedRow &row : m_data)
        row = PackedRow();
    if (m_updates && m_rows > 0 && m_cols > 0)
        Q_EMIT dataChanged(index(0, 0), index(m_rows - 1, m_cols - 1));
    else
        m_dirty = true;
}

void GridModel::SetScreenUpdate(bool on)
{
    if (on == m_updates)
        return;
    if (!on) {
        // Everything written meanwhile reaches the views as one reset.
        beginResetModel();
        m_updates = false;
        return;
    }
    m_updates = true;
    m_dirty = false;
    endResetModel();
}

GridModel::Column &GridModel::column(int col)
{
    static Column none;
    return col >= 1 && col <= m_cols ? m_columns[size_t(col - 1)] : none;
}

const GridModel::Column &GridModel::column(int col) const
{
    static const Column none;
    return col >= 1 && col <= m_cols ? m_columns[size_t(col - 1)] : none;
}

void GridModel::columnChanged(int col)
{
    if (col < 1 || col > m_cols)
        return;
    Q_EMIT headerDataChanged(Qt::Horizontal, col - 1, col - 1);
    if (m_rows > 0)
        Q_EMIT dataChanged(index(0, col - 1), index(m_rows - 1, col - 1));
}

int GridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}
int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_cols;
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int col = index.column() + 1;
    const int row = index.row() + 1;
    switch (role) {
    case Qt::DisplayRole:
        if (const int other = column(col).shownWhenEmpty;
            other > 0 && valid(other, row) && m_data[size_t(row - 1)].cell(col - 1).isEmpty())
            return cell(other, row);
        return cell(col, row);
    case Qt::EditRole: return cell(col, row);
    case Qt::ForegroundRole:
        return column(col).foreground.isValid() ? QVariant(column(col).foreground) : QVariant();
    case Qt::TextAlignmentRole: return QVariant::fromValue(column(col).alignment);
    case Qt::ToolTipRole: return m_toolTip ? QVariant(m_toolTip(col, row)) : QVariant();
    default: return {};
    }
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    const int col = index.column() + 1;
    const int row = index.row() + 1;
    const Column &c = column(col);
    if (c.locked)
        return false;
    QString text = value.toString();
    if (c.kind == Kind::Number) {
        QString formatted;
        if (!formatNumber(col, text, &formatted))
            return false;
        text = formatted;
    } else if (c.maxLength > 0 && text.size() > c.maxLength) {
        text.truncate(c.maxLength);
    }
    if (cell(col, row) == text)
        return true;
    setCell(col, row, text);
    Q_EMIT dataChanged(index, index);
    Q_EMIT userChanged(col, row);
    return true;
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!column(index.column() + 1).locked)
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant GridModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, o, role);
    if (o == Qt::Horizontal)
        return column(section + 1).header;
    return section + 1;
}
