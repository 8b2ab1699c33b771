#pragma once

#include "platform/PackedRow.h"

#include <QString>
#include <vector>

class Grid;
class QWidget;

// The two grids of the maintenance window as designed. Column 1 of both holds each row's
// state code and is hidden.
namespace MaintenanceGrids {

// Groups: state, number (locked), name, sort key.
Grid *groups(QWidget *parent);
// Links: state, number (locked), title, group (drop-down), sort key, address (hidden), the
// check's mark and time.
Grid *links(QWidget *parent);

// What a load shows: the rows of both grids (state "11"), the group names for the drop-down
// (TAB-separated) and the group list text (name TAB number CR).
struct Contents
{
    std::vector<PackedRow> groups, links;
    QString names, groupList;
};
bool read(Contents &out, QString *error);
// Shows rows in a grid in one step; no rows show five placeholders without numbers.
void fill(Grid *g, std::vector<PackedRow> &&rows);
// Selects the link rows whose address is the same page as that of a row with a lower number
// (all but the lowest number of each set) and returns them, ascending.
std::vector<int> selectLaterTwins(Grid *links);

} // namespace MaintenanceGrids
