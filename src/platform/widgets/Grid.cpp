#include "Grid.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDoubleValidator>
#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTimer>
#include <cmath>

namespace {

// Editors for the cell kinds; entering a cell may select its whole text.
class GridDelegate : public QStyledItemDelegate
{
public:
    explicit GridDelegate(Grid *grid)
        : QStyledItemDelegate(grid)
        , m_grid(grid)
    {
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        const GridModel::Column &c = m_grid->model()->column(index.column() + 1);
        if (c.kind == GridModel::Kind::ComboList) {
            auto *box = new QComboBox(parent);
            box->setEditable(true); // a name typed in is taken as typed
            box->setInsertPolicy(QComboBox::NoInsert);
            box->addItems(c.items);
            // A pick is a change at once.
            connect(box, &QComboBox::activated, box, [this, box] {
                auto *self = const_cast<GridDelegate *>(this);
                Q_EMIT self->commitData(box);
            });
            return box;
        }
        auto *edit = new QLineEdit(parent);
        edit->setFrame(false);
        if (c.kind == GridModel::Kind::Text && c.maxLength > 0)
            edit->setMaxLength(c.maxLength);
        if (c.kind == GridModel::Kind::Number) {
            auto *v = new QDoubleValidator(c.min, c.max, c.decimals, edit);
            v->setNotation(QDoubleValidator::StandardNotation);
            v->setLocale(QLocale::c());
            edit->setValidator(v);
        }
        Q_UNUSED(option);
        return edit;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        const QString text = index.data(Qt::EditRole).toString();
        if (auto *box = qobject_cast<QComboBox *>(editor)) {
            box->setCurrentText(text);
            if (m_grid->replaceOnEdit() && box->lineEdit())
                box->lineEdit()->selectAll();
            return;
        }
        auto *edit = static_cast<QLineEdit *>(editor);
        edit->setText(text);
        if (m_grid->replaceOnEdit())
            edit->selectAll();
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override
    {
        if (auto *box = qobject_cast<QComboBox *>(editor)) {
            model->setData(index, box->currentText(), Qt::EditRole);
            return;
        }
        model->setData(index, static_cast<QLineEdit *>(editor)->text(), Qt::EditRole);
    }

private:
    Grid *m_grid;
};

} // namespace

// The row numbers. Rows picked on them (a click, Shift+click or a drag) are reported as a
// block when the button is released, as blocks of cells are.
class Grid::RowHeader : public QHeaderView
{
public:
    explicit RowHeader(Grid *grid)
        : QHeaderView(Qt::Vertical, grid)
        , m_grid(grid)
    {
        setSectionsClickable(true);
        setHighlightSections(true);
    }

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        QHeaderView::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton)
            m_grid->reportBlock(true);
    }

private:
    Grid *m_grid;
};

Grid::Grid(QWidget *parent)
    : QTableView(parent)
    , m_model(new GridModel(this))
{
    setVerticalHeader(new RowHeader(this));
    setModel(m_model);
    setItemDelegate(new GridDelegate(this));
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &Grid::SelectionChanged);
    // A reset drops the selection without a word from the selection model.
    connect(m_model, &QAbstractItemModel::modelReset, this, &Grid::SelectionChanged);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    setWordWrap(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    // Header clicks count as clicks on row 0.
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { Q_EMIT Click(section + 1, 0); });
    connect(this, &QTableView::clicked, this,
            [this](const QModelIndex &i) { Q_EMIT Click(i.column() + 1, i.row() + 1); });
    connect(m_model, &GridModel::userChanged, this, &Grid::Change);
}

void Grid::SetMaxCols(int n)
{
    m_model->SetMaxCols(n);
    m_widths.resize(size_t(qMax(0, n)), 8.43);
    for (int c = 1; c <= n; ++c)
        SetColWidth(c, m_widths[size_t(c - 1)]);
}

void Grid::DeleteRows(int first, int count)
{
    const int active = ActiveRow();
    m_model->DeleteRows(first, count);
    // The active row stays on the row that took the deleted rows' place.
    if (MaxRows() > 0 && active >= first)
        SetActiveRow(qMin(first, MaxRows()));
}

void Grid::SetScreenUpdate(bool on)
{
    const int row = ActiveRow();
    const int col = ActiveCol();
    setUpdatesEnabled(on);
    m_model->SetScreenUpdate(on);
    if (on && row >= 1 && row <= MaxRows())
        setCurrentIndex(m_model->index(row - 1, qMax(0, col - 1)));
}

int Grid::ActiveRow() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() + 1 : (MaxRows() > 0 ? 1 : 0);
}

void Grid::SetActiveRow(int row)
{
    if (row < 1 || row > MaxRows())
        return;
    const int col = currentIndex().isValid() ? currentIndex().column() : 0;
    setCurrentIndex(m_model->index(row - 1, col));
}

int Grid::ActiveCol() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.column() + 1 : 1;
}

void Grid::SetActiveCol(int col)
{
    if (col < 1 || col > MaxCols())
        return;
    const int row = currentIndex().isValid() ? currentIndex().row() : 0;
    if (MaxRows() > 0)
        setCurrentIndex(m_model->index(row, col - 1));
}

int Grid::TopRow() const
{
    const int r = rowAt(0);
    return r < 0 ? 1 : r + 1;
}

void Grid::SetTopRow(int row)
{
    if (row < 1 || row > MaxRows())
        return;
    int col = 0;
    while (col < MaxCols() - 1 && isColumnHidden(col))
        ++col;
    scrollTo(m_model->index(row - 1, col), QAbstractItemView::PositionAtTop);
}

void Grid::SetHeader(int col, const QString &text)
{
    m_model->column(col).header = text;
    m_model->columnChanged(col);
}

void Grid::SetColHidden(int col, bool hidden)
{
    m_model->column(col).hidden = hidden;
    setColumnHidden(col - 1, hidden);
}

double Grid::unitPixels() const
{
    return qMax(1, fontMetrics().averageCharWidth());
}

void Grid::SetColWidth(int col, double chars)
{
    if (col < 1 || col > MaxCols())
        return;
    m_widths[size_t(col - 1)] = chars;
    m_model->column(col).width = chars;
    // A unit is one average character; the cell's own padding comes on top.
    setColumnWidth(col - 1, int(std::lround(chars * unitPixels())) + 14);
}

void Grid::FitColWidth(int col, const QStringList &texts, double minChars, double maxChars)
{
    if (col < 1 || col > MaxCols())
        return;
    int pixels = horizontalHeader()->fontMetrics().horizontalAdvance(
        m_model->headerData(col - 1, Qt::Horizontal, Qt::DisplayRole).toString());
    const QFontMetrics metrics(font());
    for (const QString &text : texts)
        pixels = qMax(pixels, metrics.horizontalAdvance(text));
    // Rounded up: a unit short would cut the text again.
    double chars = std::ceil(pixels / unitPixels() * 4.0) / 4.0;
    if (maxChars > 0)
        chars = qMin(chars, maxChars);
    SetColWidth(col, qMax(chars, minChars));
}

double Grid::ColWidth(int col) const
{
    return col >= 1 && col <= MaxCols() ? m_widths[size_t(col - 1)] : 0.0;
}

void Grid::SetColLocked(int col, bool locked)
{
    m_model->column(col).locked = locked;
}

void Grid::SetColText(int col, int maxLength)
{
    m_model->column(col).kind = GridModel::Kind::Text;
    m_model->column(col).maxLength = maxLength;
}

void Grid::SetColNumber(int col, int decimals, double min, double max)
{
    GridModel::Column &c = m_model->column(col);
    c.kind = GridModel::Kind::Number;
    c.decimals = decimals;
    c.min = min;
    c.max = max;
    c.alignment = Qt::AlignRight | Qt::AlignVCenter;
}

void Grid::SetColCombo(int col)
{
    m_model->column(col).kind = GridModel::Kind::ComboList;
}

void Grid::TypeComboBoxList(int col, const QString &items)
{
    m_model->column(col).items = items.isEmpty() ? QStringList() : items.split(u'\t');
}

void Grid::SetColForeground(int col, const QColor &colour)
{
    m_model->column(col).foreground = colour;
    m_model->columnChanged(col);
}

void Grid::SetColAlignment(int col, Qt::Alignment alignment)
{
    m_model->column(col).alignment = alignment;
    m_model->columnChanged(col);
}

void Grid::SetRowHeadersVisible(bool visible)
{
    verticalHeader()->setVisible(visible);
}

void Grid::SetRowHeaderWidth(double chars)
{
    verticalHeader()->setFixedWidth(int(std::lround(chars * unitPixels())) + 10);
}

QFont Grid::pickFont(const QStringList &families, int pointSize)
{
    const QStringList installed = QFontDatabase::families();
    QFont f;
    for (const QString &family : families) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            f = QFont(family);
            break;
        }
    }
    if (pointSize > 0)
        f.setPointSize(pointSize);
    return f;
}

void Grid::keyPressEvent(QKeyEvent *event)
{
    m_keyConsumed = false;
    if (state() != QAbstractItemView::EditingState)
        Q_EMIT KeyDown(event->key(), event->modifiers());
    if (m_keyConsumed) {
        m_keyConsumed = false;
        event->accept();
        return;
    }
    if (event->modifiers() & Qt::ShiftModifier)
        m_userSelecting = true;
    QTableView::keyPressEvent(event);
}

void Grid::keyReleaseEvent(QKeyEvent *event)
{
    QTableView::keyReleaseEvent(event);
    if (m_userSelecting && event->key() == Qt::Key_Shift) {
        m_userSelecting = false;
        reportBlock();
    }
}

void Grid::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_userSelecting = true;
    QTableView::mousePressEvent(event);
}

void Grid::mouseReleaseEvent(QMouseEvent *event)
{
    QTableView::mouseReleaseEvent(event);
    if (m_userSelecting && event->button() == Qt::LeftButton) {
        m_userSelecting = false;
        reportBlock();
    }
}

void Grid::reportBlock(bool rows)
{
    const QModelIndexList cells = selectionModel()->selectedIndexes();
    if (cells.isEmpty() || (cells.size() < 2 && !rows))
        return;
    int r1 = INT_MAX, r2 = -1, c1 = INT_MAX, c2 = -1;
    for (const QModelIndex &i : cells) {
        r1 = qMin(r1, i.row());
        r2 = qMax(r2, i.row());
        c1 = qMin(c1, i.column());
        c2 = qMax(c2, i.column());
    }
    Q_EMIT BlockSelected(c1 + 1, r1 + 1, c2 + 1, r2 + 1);
}

void Grid::contextMenuEvent(QContextMenuEvent *event)
{
    const QModelIndex i = indexAt(viewport()->mapFromGlobal(event->globalPos()));
    Q_EMIT RightClick(i.isValid() ? i.column() + 1 : 0, i.isValid() ? i.row() + 1 : 0,
                      event->globalPos());
    event->accept();
}
