#pragma once

#include "collection/LinkList.h"
#include "collection/ListRow.h"
#include "platform/widgets/Grid.h"

#include <functional>

// The link list of the main window: five locked columns (number, hidden address, group,
// title, description), filled in one step from the collection.
class LinkListView : public Grid
{
    Q_OBJECT
public:
    explicit LinkListView(QWidget *parent = nullptr);

    // Fills the list as LinkList::load orders it; a failure is shown and leaves it as it was.
    bool load(bool recent, qint64 nGrp, const std::function<bool(qint64)> &keep = {});
    // Cell access where row 0 stands for the active row (the caller's row then names it). The
    // address of a row that leaves it out is read by its number.
    QString GetCell(LinkList::Column col, int row) const
    {
        if (row == 0)
            row = ActiveRow();
        if (col == LinkList::Address)
            return row >= 1 && row <= MaxRows() ? LinkList::address(model()->row(row)) : QString();
        return GetText(int(col), row);
    }
    QString GetCell(LinkList::Column col, int &row)
    {
        if (row == 0)
            row = ActiveRow();
        return std::as_const(*this).GetCell(col, row);
    }
    void SetCell(LinkList::Column col, int &row, const QString &value)
    {
        if (row == 0)
            row = ActiveRow();
        SetText(int(col), row, value);
    }
    // Shows the rows in one step, the columns fitted to them.
    void fill(std::vector<PackedRow> &&rows);
    // The same when the rows on show do not begin rows; when they do (the first screen shown
    // while the rest was read), only the rest is added, and the view and the chosen row stay.
    void fillOnward(std::vector<PackedRow> &&rows);
    // The active row when the user chose it (it is highlighted); 0 when no row is chosen, as
    // after the list was filled.
    int selectedRow() const;
    // The rows as the outputs take them, in list order.
    QList<ListRow> listedRows() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // Numbers whole, group names whole where there is room.
    void fitColumns(const std::vector<PackedRow> &rows);
    void fitGroupColumn();

    double m_groupWidth = 0; // what the longest group name needs
};
