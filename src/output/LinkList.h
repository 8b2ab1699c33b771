#pragma once

#include "output/ListRow.h"
#include "platform/PackedRow.h"

#include <QList>
#include <QString>

#include <functional>
#include <vector>

// The rows of the main window's link list: number, address, group name, title, description,
// in the list's order.
namespace LinkList {

enum Column { Number, Address, GroupName, Title, Description };

// The links of group nGrp (all groups for nGrp <= 0) whose group row exists, by group sort
// key, group name, link sort key and title; or, when recent, the 50 highest numbers first.
// keep, when given, chooses the links by number. On failure the rows are untouched.
bool load(bool recent, int nGrp, std::vector<PackedRow> &rows, QString *error = nullptr,
          const std::function<bool(qint64 nURL)> &keep = {});

ListRow toListRow(const PackedRow &row);

} // namespace LinkList
