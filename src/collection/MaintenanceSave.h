#pragma once

#include "store/GroupList.h"
#include "store/LinkStore.h"

#include <QList>
#include <QString>

// The rules of the maintenance window's save: which grid rows become which statements. The
// window feeds its rows as they stand (state code, cell texts) and the numbers it deleted;
// the save then runs in one transaction.
//
// State codes: "11" loaded, "12" loaded and changed, "00" inserted, "02" inserted and changed.
class MaintenanceSave
{
public:
    // groupList: the groups of the last load, which turn a link's group name back into its
    // number.
    explicit MaintenanceSave(const GroupList &groupList);

    void groupRow(const QString &code, const QString &number, const QString &name,
                  const QString &sort);
    // address: the link's address as the grid holds it; written when it differs from the
    // stored one ("移転先に更新"), never when empty.
    void linkRow(const QString &code, const QString &number, const QString &title,
                 const QString &group, const QString &sort, const QString &address = QString());
    // The deleted stored rows, each number followed by "," ("12,7,").
    void deleted(const QString &groupNumbers, const QString &linkNumbers);

    // A folder renamed takes the groups below it along ("技術" → "Tech": "技術/Qt" → "Tech/Qt");
    // a group renamed onto another's path (letter case ignored) joins it, its links going there.
    LinkStore::MaintenanceChanges changes() const;
    // For the window's questions before the save: how many groups a folder's rename carries
    // along, the paths where two groups become one, and the groups below a deleted folder
    // that are kept unless deleteBelow() takes them too (their links then go to group 0).
    int carried() const { return int(changes().movedGroups.size()); }
    QStringList joins() const;
    QList<qint64> belowDeleted() const;
    void deleteBelow() { m_changes.deletedGroups += belowDeleted(); }
    // Writes the changes in one transaction; the deleted links' files in dataPh then go with
    // them, as DeleteLink takes them. False with *error when nothing was written; the files
    // then stay too.
    bool apply(const QString &dataPh, QString *error = nullptr) const;

    // "12,7," -> {12, 7}
    static QList<qint64> numbers(const QString &list);

private:
    struct LinkRow
    {
        qint64 nURL;
        QString title;
        QString group;
        double sort;
        QString address;
    };
    GroupList m_groupList;
    LinkStore::MaintenanceChanges m_changes;
    QList<LinkRow> m_links;
};
