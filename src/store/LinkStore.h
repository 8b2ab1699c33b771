#pragma once

#include "store/Records.h"

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// The typed operations on the open link database (Store::OpenDb). Every operation returns
// false on failure with "<statement> : <engine error>" in *error and leaves the data as they
// were; operations that write several rows do so in one transaction.
namespace LinkStore {

// A link as the engine holds it, read without turning every field into a QString: the views
// are UTF-8 and valid only during the call that hands them over. Fields a read does not
// select are empty.
struct LinkView
{
    qint64 nURL = 0;
    QByteArrayView nURLText; // the number in decimal
    QByteArrayView sURL;
    qint64 nGrp = 0;
    QByteArrayView sGrp; // joined reads only
    QByteArrayView sNam;
    QByteArrayView sMem;
    double gSrt = 0;
    bool hasSort = false; // the sort key is not NULL
    qint64 added = 0; // seconds since 1970 when known; export reads only
    QByteArrayView sTags; // export reads only
};

struct GroupView
{
    qint64 nGrp = 0;
    QByteArrayView nGrpText;
    QByteArrayView sGrp;
    double gSrt = 0;
    bool hasSort = false;
};

using LinkFn = std::function<void(const LinkView &)>;
using GroupFn = std::function<void(const GroupView &)>;

// Registration.
// Why no number past kMaxNumber is given.
QString numberLimitText();
// The links (group included) whose address equals address with the letter case of ASCII
// ignored (the address index serves it), in number order: the caller picks the one the address
// rule makes equal.
bool lookup(const QString &address, QList<LinkRecord> &found, QString *error = nullptr);
// The address of link nURL; none when no such link exists.
bool addressOf(qint64 nURL, std::optional<QString> &address, QString *error = nullptr);
// Highest number + 1: 100 for the first link, 1 for the first group (the group-0 row counts).
// False, with numberLimitText(), when that would pass kMaxNumber: a number is never wrapped.
bool nextLinkNumber(qint64 &n, QString *error = nullptr);
bool nextGroupNumber(qint64 &n, QString *error = nullptr);
// A new link with the time it was added (seconds since 1970).
bool insertLink(const LinkRecord &link, qint64 addedSecs, QString *error = nullptr);
// The group, title, description and sort key of link.nURL; its address stays.
bool updateLink(const LinkRecord &link, QString *error = nullptr);
// A link registered into a group made on the way: the group (next number, sort key groupSort)
// and the link (new with its date, or corrected) in one transaction; link.nGrp gets the group's
// number. Neither is kept when either fails.
bool saveInNewGroup(const QString &groupName, double groupSort, LinkRecord &link, bool isNew,
                    qint64 addedSecs, QString *error = nullptr);
// The same with several groups made in the order given (folders before the folders in them);
// the link goes into the last one.
bool saveInNewGroups(const QStringList &groupNames, double groupSort, LinkRecord &link, bool isNew,
                     qint64 addedSecs, QString *error = nullptr);
// The link goes with its date and check history.
bool deleteLink(qint64 nURL, QString *error = nullptr);

// Groups for the selector: every group but 0, by sort key then name.
bool groups(QList<GroupRecord> &out, QString *error = nullptr);
// Every group, 0 included, in no particular order.
bool forEachGroup(const GroupFn &each, QString *error = nullptr);
// The links of one group (nGrp > 0) or of all groups (nGrp <= 0) in number order, not joined.
bool forEachLink(qint64 nGrp, const LinkFn &each, QString *error = nullptr);
// The first limit links of group nGrp (> 0) by sort key, title without ASCII case and number.
bool forEachFirstLink(qint64 nGrp, int limit, const LinkFn &each, QString *error = nullptr);
// The links of group nGrp (without one: group 0's and those of no group row) in the list's order
// (sort key, title without ASCII case, number), with the date each was added: nURL, sURL, sNam,
// sMem, added, sTags.
bool forEachLinkToExport(std::optional<qint64> nGrp, const LinkFn &each, QString *error = nullptr);
// How many links each group number holds, numbers without a group row included.
bool linkCounts(QHash<qint64, qint64> &out, QString *error = nullptr);
// The links of the given group numbers (all links when none are given) in number order: nURL,
// sURL, nGrp, sNam, sMem, gSrt. One walk through the table, whatever the groups.
bool forEachLinkOfGroups(const QList<qint64> &groups, const LinkFn &each, QString *error = nullptr);
// The links that have a date, with it, in number order.
bool forEachAdded(const std::function<void(qint64 nURL, qint64 added)> &each,
                  QString *error = nullptr);
// The most recent links (highest numbers first) whose group exists, joined with its name.
bool forEachRecentLink(int limit, const LinkFn &each, QString *error = nullptr);
// Every link in number order with the name of its group (links without a group row are left
// out): nURL, sNam, sGrp, gSrt, sURL.
bool forEachGridLink(const LinkFn &each, QString *error = nullptr);
// The groups of the maintenance grid: as groups(), with the sort key possibly NULL.
bool forEachGridGroup(const GroupFn &each, QString *error = nullptr);
// Number and address of every link in number order.
bool forEachAddress(const std::function<void(qint64 nURL, const QString &sURL)> &each,
                    QString *error = nullptr);
bool linkNumbers(std::vector<qint64> &out, QString *error = nullptr);
// The tags of the links that have any.
bool forEachTags(const std::function<void(qint64 nURL, QByteArrayView tags)> &each,
                 QString *error = nullptr);
// When each link was added, for the links that have a date.
bool addedDates(QHash<qint64, qint64> &out, QString *error = nullptr);

// Bookmark import: the new groups (numbers given), then the links with the dates they were
// added (0: not known, no date is stored), all in one transaction. progress, when given, is
// called after every so many links and after the last one, before the commit, with the links
// written so far and in all; when it returns false the import is cancelled and rolled back.
// Written whole, or (failed or cancelled) not at all.
enum class ImportResult { Written, Cancelled, Failed };
using ProgressFn = std::function<bool(qsizetype done, qsizetype total)>;
// tags: of some of the links, by number.
ImportResult importLinks(const QList<GroupRecord> &newGroups, const QList<DatedLink> &links,
                         const ProgressFn &progress = {}, QString *error = nullptr,
                         const QHash<qint64, QString> &tags = {});

// The link check's history. Writes a run's results in one transaction.
bool recordChecks(const QList<CheckRecord> &checks, QString *error = nullptr);
// The latest check of link nURL and, when it found the link dead, the dead checks before it
// back to the last check that did not (that one included), newest first; empty when the link
// was never checked.
bool lastChecks(qint64 nURL, QList<CheckRecord> &newestFirst, QString *error = nullptr);
// Every check of every link, oldest first, with number, time, verdict and moved-to address only
// (status and final address stay empty).
bool forEachCheck(const std::function<void(const CheckRecord &)> &each, QString *error = nullptr);

// The maintenance window's save, all in one transaction: group changes first (new groups get
// the next numbers in the order given), then deleted groups (their links go to group 0), then
// link changes (group, title, sort key, and the address where it differs from the stored one),
// then deleted links with their dates and check history.
struct MaintenanceChanges
{
    QList<GroupRecord> updatedGroups;
    QList<GroupRecord> newGroups; // nGrp is given at the save
    QList<qint64> deletedGroups;
    // Groups renamed with the folder above them (name only), and groups whose links go to
    // another group before they are deleted: after the group changes, before the deletions.
    QList<GroupRecord> movedGroups;
    QList<QPair<qint64, qint64>> joinedGroups; // from, into
    QList<LinkRecord> updatedLinks; // nURL, nGrp, sNam, gSrt; sURL unless empty
    QList<qint64> deletedLinks;
};
bool applyMaintenance(const MaintenanceChanges &changes, QString *error = nullptr);

// Empties the collection (history included) and puts back the group-0 row with this name. Nothing
// is deleted unless the transaction has started.
bool reset(const QString &groupZeroName, QString *error = nullptr);

} // namespace LinkStore
