#pragma once

#include "platform/PackedRow.h"
#include "store/GroupList.h"

#include <QString>
#include <vector>

// The columns of the maintenance window's two grids, counted as the grids count them (from 1).
// Column 1 of both holds each row's state code and is hidden; column 2 the number. A row read
// below holds cell c - 1 for column c.
namespace GroupColumn {
enum Column { State = 1, Number, Name, Sort };
}
namespace LinkColumn {
enum Column { State = 1, Number, Title, Group, Sort, Address, Mark, Time, MovedTo };
}

// What the maintenance window shows of the collection: the rows of both grids as loaded
// (state "11"), group 0 never among the groups and links without a group row never among the
// links; the group names for the link grid's drop-down (TAB-separated) and the groups that
// turn a name back into its number; the links with the marks of their latest checks and where
// their pages moved for good (checked: any link has a check).
struct MaintenanceContents
{
    std::vector<PackedRow> groups, links;
    QString names;
    GroupList groupList;
    bool checked = false;

    // False with *error when the collection or its check history cannot be read.
    static bool read(MaintenanceContents &out, QString *error = nullptr);
};
