#pragma once

#include "platform/PackedRow.h"
#include "store/GroupList.h"

#include <QString>
#include <vector>

class Grid;
class QSize;
class QWidget;

// The columns of the two grids, counted as the grids count them (from 1). Column 1 of both
// holds each row's state code and is hidden; column 2 the number.
namespace GroupColumn {
enum Column { State = 1, Number, Name, Sort };
}
namespace LinkColumn {
enum Column { State = 1, Number, Title, Group, Sort, Address, Mark, Time, MovedTo };
}

// The two grids of the maintenance window as designed.
namespace MaintenanceGrids {

// Groups: state, number (locked), name, sort key.
Grid *groups(QWidget *parent);
// Links: state, number (locked), title, group (drop-down), sort key, address (hidden), the
// check's mark and time, and where the check found the page has moved (hidden). The time's
// and mark's tooltips tell the link's check history; the other columns' show the page picture.
Grid *links(QWidget *parent);

// Numbers whole in both grids, and the link grid's group names whole where there is room;
// names are the groups' names.
void fit(Grid *groups, Grid *links, const QStringList &names);
// Both grids side by side under the menu bar (top), filling the window's client area.
void place(Grid *groups, Grid *links, int top, const QSize &area);

// What a load shows: the rows of both grids (state "11"), the group names for the drop-down
// (TAB-separated) and the group list text (name TAB number CR); the links with the marks of
// their latest checks (checked: any link has one).
struct Contents
{
    std::vector<PackedRow> groups, links;
    QString names;
    GroupList groupList;
    bool checked = false;
};
bool read(Contents &out, QString *error);
// Shows rows in a grid in one step; no rows show five placeholders without numbers.
void fill(Grid *g, std::vector<PackedRow> &&rows);
// Selects the link rows whose address is the same page as that of a row with a lower number
// (all but the lowest number of each set) and returns them, ascending.
std::vector<int> selectLaterTwins(Grid *links);
// The link rows the check marked dead ("×" and "××"), ascending.
std::vector<int> deadRows(Grid *links);
// Gives the rows among rows whose page has moved the address it moved to; returns the rows
// whose address changed.
std::vector<int> takeMovedAddresses(Grid *links, const std::vector<int> &rows);

} // namespace MaintenanceGrids
