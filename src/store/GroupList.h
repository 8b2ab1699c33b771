#pragma once

#include "store/Records.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// The groups in the selector's order (sort key, then name in the NOCASE order, then number) and
// the one rule that finds a group by its name: the first listed group whose name equals it with
// the letter case of every letter ignored. Group 0 is kept apart: it is not listed, and its name
// is found only when no listed group has that name.
class GroupList
{
public:
    GroupList() = default;
    // groups: in any order, group 0 among them or not.
    explicit GroupList(const QList<GroupRecord> &groups);
    // Every group of the open collection.
    static bool load(GroupList &out, QString *error = nullptr);

    const QList<GroupRecord> &listed() const { return m_listed; }
    // The number of the group named name; 0 when no listed group has that name.
    qint64 numberOf(const QString &name) const;
    // As numberOf, group 0 by its own name included; none when no group has that name.
    std::optional<qint64> find(const QString &name) const;
    // A group after all listed ones (a new group of an import).
    void append(const GroupRecord &group);

    static QString key(const QString &name) { return name.toCaseFolded(); }

private:
    void remember(const GroupRecord &g);

    QList<GroupRecord> m_listed;
    QHash<QString, qint64> m_byName; // first listed group per key
    std::optional<GroupRecord> m_zero;
};
