#pragma once

#include "store/Records.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

// The groups as a folder tree: a group's name is its path, folder names joined with "/"; a "/"
// inside one folder's name is held as "∕" (U+2215). A folder that only the paths below it name
// is a folder all the same, with no group of its own. Folders are one folder whatever the letter
// case of their names, as group names are.
class GroupTree
{
public:
    static constexpr char16_t kSlash = u'/';
    static constexpr char16_t kSlashInName = u'\u2215';

    // A path's folder names, each with its "∕" back as "/".
    static QStringList split(const QString &path);
    // The path of these folder names, each "/" in a name held as "∕".
    static QString join(const QStringList &names);
    static QString nameToPart(QString name) { return name.replace(kSlash, kSlashInName); }
    // Whether path is folder or lies below it, letter case ignored.
    static bool isWithin(const QString &path, const QString &folder);
    // path with folder (which it is within) replaced by to: "技術/Qt" with 技術 → Tech is
    // "Tech/Qt".
    static QString moved(const QString &path, const QString &folder, const QString &to);

    struct Node
    {
        QString path; // as its first group (or the first path below it) spells it
        QString name; // the last part of the path, as held (with "∕")
        int depth = 1; // 1 for a folder at the top
        int parent = -1; // index of the enclosing folder; -1 at the top
        QList<qint64> groups; // its own groups in list order: empty, or more when case twins
        int end = 0; // the index after its subtree
    };

    GroupTree() = default;
    // groups in any order; group 0 is left out. Folders stand in depth-first order, siblings in
    // the order of the first group of their subtree in the list's order (sort key, then name).
    explicit GroupTree(const QList<GroupRecord> &groups);
    // The groups of list, in its order.
    explicit GroupTree(const class GroupList &list);

    const std::vector<Node> &nodes() const { return m_nodes; }
    // The index of the folder whose path is path (letter case ignored), or -1.
    int indexOf(const QString &path) const;
    // The groups of the folder at index and of every folder below it.
    QList<qint64> groupsWithin(int index) const;

    // The groups the list and the search keep to.
    struct Scope
    {
        bool all = true; // every group
        QSet<qint64> groups;
        bool holds(qint64 nGrp) const { return all || groups.contains(nGrp); }
        bool operator==(const Scope &) const = default;
    };
    // What the selector's text chosen shows: nGrp is the group it names (0: none, or "*"). A
    // folder with below is its subtree; a folder without a group of its own holds nothing by
    // itself; a text that is no folder and no group is every group.
    Scope scopeOf(const QString &chosen, qint64 nGrp, bool below) const;

private:
    std::vector<Node> m_nodes;
    QHash<QString, int> m_byKey;
};
