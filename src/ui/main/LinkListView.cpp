#include "LinkListView.h"

#include "app/Usr.h"
#include "collection/LinkList.h"
#include "pages/PageImage.h"
#include "platform/Dialogs.h"

namespace {
constexpr double kGroupWidth = 9.87; // as designed
}

LinkListView::LinkListView(QWidget *parent)
    : Grid(parent)
{
    setObjectName(QStringLiteral("vSpr"));
    SetMaxCols(int(LinkList::Description));
    // The number and address columns keep their field names; the address is hidden.
    const char *const headers[]
        = {"nURL", "sURL", QT_TR_NOOP("分類"), QT_TR_NOOP("表題"), QT_TR_NOOP("説明")};
    for (int c = 1; c <= MaxCols(); ++c) {
        SetHeader(c, c <= 2 ? QString::fromLatin1(headers[c - 1]) : tr(headers[c - 1]));
        SetColLocked(c, true);
    }
    SetRowHeadersVisible(false);
    SetColHidden(int(LinkList::Address), true);
    SetColWidth(int(LinkList::GroupName), kGroupWidth);
    SetColWidth(int(LinkList::Title), 28.75);
    SetColWidth(int(LinkList::Description), 93.62);
    // A link without a title shows its address instead.
    model()->column(int(LinkList::Title)).shownWhenEmpty = int(LinkList::Address);
    SetMaxRows(0);
    // Whole rows: a header click then keeps the active row instead of selecting a column.
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // Hovering a row shows its page picture.
    model()->setToolTip([this](int, int row) {
        return PageImage::toolTipFor(Usr::sDataPh, GetText(int(LinkList::Number), row));
    });
}

bool LinkListView::load(bool recent, qint64 nGrp, const std::function<bool(qint64)> &keep)
{
    std::vector<PackedRow> rows;
    QString error;
    if (!LinkList::load(recent, nGrp, rows, &error, keep)) {
        Dialogs::message(tr("ﾘｽﾄの読み込みに失敗しました: %1").arg(error));
        return false;
    }
    fill(std::move(rows));
    return true;
}

void LinkListView::fill(std::vector<PackedRow> &&rows)
{
    fitColumns(rows);
    model()->fillRows(std::move(rows));
}

void LinkListView::fillOnward(std::vector<PackedRow> &&rows)
{
    const auto shown = size_t(MaxRows());
    bool begins = shown > 0 && shown <= rows.size();
    for (size_t i = 0; begins && i < shown; ++i) {
        for (int c = int(LinkList::Number); begins && c <= int(LinkList::Description); ++c)
            begins = LinkList::cell(model()->row(int(i) + 1), LinkList::Column(c))
                == LinkList::cell(rows[i], LinkList::Column(c));
    }
    if (!begins)
        return fill(std::move(rows));
    model()->extendRows(std::move(rows));
    fitColumns(model()->rows());
}

void LinkListView::fitColumns(const std::vector<PackedRow> &rows)
{
    // The longest number and every group name once: rows of a group stand together, so a
    // name is measured when it differs from the row before.
    QByteArrayView longest;
    QStringList groups;
    QByteArrayView previous;
    for (const PackedRow &r : rows) {
        if (const QByteArrayView n = LinkList::cell(r, LinkList::Number); n.size() > longest.size())
            longest = n;
        if (const QByteArrayView g = LinkList::cell(r, LinkList::GroupName); g != previous) {
            previous = g;
            groups.append(QString::fromUtf8(g));
        }
    }
    groups.removeDuplicates();
    FitColWidth(int(LinkList::Number), {QString::fromUtf8(longest)}, 0);
    FitColWidth(int(LinkList::GroupName), groups, kGroupWidth);
    m_groupWidth = ColWidth(int(LinkList::GroupName));
    fitGroupColumn();
}

void LinkListView::fitGroupColumn()
{
    // A long name takes at most a quarter of the list; the description column gives way.
    const double room = qMax(kGroupWidth, width() / 4.0 / unitPixels());
    if (const double w = qMin(m_groupWidth, room); w != ColWidth(int(LinkList::GroupName)))
        SetColWidth(int(LinkList::GroupName), w);
}

void LinkListView::resizeEvent(QResizeEvent *event)
{
    Grid::resizeEvent(event);
    fitGroupColumn();
}

int LinkListView::selectedRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() && selectionModel()->isRowSelected(current.row(), {})
        ? current.row() + 1
        : 0;
}

QList<ListRow> LinkListView::listedRows() const
{
    return LinkList::toListRows(model()->rows());
}
