#pragma once

#include "store/Records.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

// The collection as a Netscape bookmark file in UTF-8, as browsers import it.
namespace BookmarkExport {

// One folder per group, nested by the "/" in its name; folders in the list's group order (sort
// key, then name), each holding its group's links in list order (sort key, then title) before
// its sub-folders. Group 0's links, and links whose group is missing, stand at the root. added:
// link number to seconds since 1970, written as ADD_DATE where known. Every value is escaped,
// line breaks and the spaces at a value's ends as references, so reading the file back gives
// each value exactly.
QByteArray bytes(const QList<GroupRecord> &groups, const QList<LinkRecord> &links,
                 const QHash<qint64, qint64> &added = {});

} // namespace BookmarkExport
