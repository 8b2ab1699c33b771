#pragma once

#include "bookmarks/BookmarkFile.h"
#include "store/Records.h"

#include <QHash>
#include <QList>
#include <QStringView>

#include <functional>

// A link an import inserts, with the date it was added (0 when the file gives none).
using ImportLink = DatedLink;

// What importing a bookmark file would write, worked out before anything is written.
struct ImportPlan
{
    QList<GroupRecord> newGroups; // to create, in the file's order
    QList<ImportLink> links; // to insert, in number order
    QHash<qint64, QString> tags; // of the links to insert that the file gave tags, by number
    int linksRead = 0; // links the file holds
    int duplicates = 0; // links skipped: in the collection already
    // Links of an address earlier in the file: one link, their other texts in its description.
    int merged = 0;
    int skippedLines = 0; // lines of the file that could not be read
    // Folders of the file joined with another whose path differs only in letter case.
    int caseTwins = 0;
};

namespace BookmarkImport {

// Whether an address is in the collection, compared as Address::same compares.
using InCollection = std::function<bool(const QString &address)>;

// The plan for a file that was read. groups: every group of the collection (group 0 included);
// a folder whose path names one of them, found as GroupList finds it, is reused,
// other folders get new groups numbered and sorted after the highest. A folder becomes a group
// when a link goes into it or when it is empty; a folder that holds only folders is only part
// of their names. Links directly under the root go to group 0. firstLinkNo: the number of the
// first new link (Usr::NewURLNo); links are numbered in ascending date order, undated first,
// the file's order where dates are equal; each link's sort key is its place in its folder.
// An address met again later in the file stays the first entry's link (its folder, its
// title); a later entry's title and description that the link does not hold yet are added to
// its description, each entry's after a blank line. Links of the collection are not changed.
ImportPlan plan(const BookmarkFile &file, const QList<GroupRecord> &groups,
                const InCollection &inCollection, qint64 firstLinkNo);

} // namespace BookmarkImport
