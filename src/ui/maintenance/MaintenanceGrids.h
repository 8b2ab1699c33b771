#pragma once

#include "collection/MaintenanceContents.h"
#include "platform/PackedRow.h"

#include <QString>
#include <vector>

class Grid;
class QSize;
class QWidget;

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
