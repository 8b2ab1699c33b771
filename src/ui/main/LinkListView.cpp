#include "LinkListView.h"

#include "app/Usr.h"
#include "collection/LinkList.h"
#include "pages/PageImage.h"
#include "platform/Dialogs.h"

LinkListView::LinkListView(QWidget *parent)
    : Grid(parent)
{
    setObjectName(QStringLiteral("vSpr"));
    SetMaxCols(5);
    // The number and address columns are hidden and keep their field names.
    const char *const headers[]
        = {"nURL", "sURL", QT_TR_NOOP("分類"), QT_TR_NOOP("表題"), QT_TR_NOOP("説明")};
    for (int c = 1; c <= 5; ++c) {
        SetHeader(c, c <= 2 ? QString::fromLatin1(headers[c - 1]) : tr(headers[c - 1]));
        SetColLocked(c, true);
    }
    SetRowHeadersVisible(false);
    SetColHidden(2, true);
    SetColWidth(3, 9.87);
    SetColWidth(4, 28.75);
    SetColWidth(5, 93.62);
    SetMaxRows(0);
    // Whole rows: a header click then keeps the active row instead of selecting a column.
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // Hovering a row shows its page picture.
    model()->setToolTip(
        [this](int, int row) { return PageImage::toolTipFor(Usr::sDataPh, GetText(1, row)); });
}

bool LinkListView::load(bool recent, int nGrp, const std::function<bool(qint64)> &keep)
{
    std::vector<PackedRow> rows;
    QString error;
    if (!LinkList::load(recent, nGrp, rows, &error, keep)) {
        Dialogs::message(tr("ﾘｽﾄの読み込みに失敗しました: %1").arg(error));
        return false;
    }
    model()->fillRows(std::move(rows));
    return true;
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
    QList<ListRow> rows;
    rows.reserve(MaxRows());
    for (int i = 1; i <= MaxRows(); ++i)
        rows.append(LinkList::toListRow(model()->row(i)));
    return rows;
}
