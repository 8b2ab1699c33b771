#include "GroupTree.h"

#include "platform/NoCase.h"
#include "store/GroupList.h"

#include <QHash>

#include <algorithm>

QStringList GroupTree::split(const QString &path)
{
    QStringList names = path.split(kSlash);
    for (QString &n : names)
        n.replace(kSlashInName, kSlash);
    return names;
}

QString GroupTree::join(const QStringList &names)
{
    QStringList parts;
    parts.reserve(names.size());
    for (const QString &n : names)
        parts.append(nameToPart(n));
    return parts.join(kSlash);
}

bool GroupTree::isWithin(const QString &path, const QString &folder)
{
    if (folder.isEmpty())
        return false;
    const QString p = GroupList::key(path), f = GroupList::key(folder);
    return p == f || (p.startsWith(f) && p.size() > f.size() && p[f.size()] == kSlash);
}

QString GroupTree::moved(const QString &path, const QString &folder, const QString &to)
{
    // Case folding keeps the length of most texts, not of all: count the parts instead.
    const qsizetype parts = folder.count(kSlash) + 1;
    qsizetype at = -1;
    for (qsizetype i = 0; i < parts; ++i) {
        at = path.indexOf(kSlash, at + 1);
        if (at < 0)
            return to;
    }
    return to + path.mid(at);
}

GroupTree::GroupTree(const QList<GroupRecord> &groups)
    : GroupTree(GroupList(groups))
{
}

GroupTree::GroupTree(const GroupList &list)
{
    // The list's order decides where each folder first appears.
    struct Building
    {
        Node node;
        QString key;
        std::vector<int> children;
    };
    std::vector<Building> all;
    QHash<QString, int> byKey;
    std::vector<int> top;
    for (const GroupRecord &g : list.listed()) {
        int parent = -1;
        qsizetype start = 0, keyStart = 0;
        // Folding goes letter by letter: a prefix's key is the folded name's prefix, though
        // not always of the same length.
        const QString folded = GroupList::key(g.sGrp);
        for (int depth = 1;; ++depth) {
            const qsizetype slash = g.sGrp.indexOf(kSlash, start);
            const qsizetype end = slash < 0 ? g.sGrp.size() : slash;
            const qsizetype keySlash = folded.indexOf(kSlash, keyStart);
            const QString key = folded.left(keySlash < 0 ? folded.size() : keySlash);
            auto it = byKey.constFind(key);
            if (it == byKey.constEnd()) {
                all.push_back(
                    {{g.sGrp.left(end), g.sGrp.mid(start, end - start), depth, parent, {}, 0},
                     key,
                     {}});
                const int made = int(all.size() - 1);
                (parent < 0 ? top : all[size_t(parent)].children).push_back(made);
                it = byKey.insert(key, made);
            }
            parent = *it;
            if (slash < 0)
                break;
            start = slash + 1;
            keyStart = keySlash + 1;
        }
        all[size_t(parent)].node.groups.append(g.nGrp);
    }

    // Depth first without recursion: a path of many parts cannot exhaust the stack.
    m_nodes.reserve(all.size());
    std::vector<int> newIndex(all.size(), -1);
    struct Step
    {
        const std::vector<int> *children;
        size_t next;
        int at; // the new index of the folder whose children these are; -1 at the top
    };
    std::vector<Step> stack {{&top, 0, -1}};
    while (!stack.empty()) {
        Step &s = stack.back();
        if (s.next == s.children->size()) {
            if (s.at >= 0)
                m_nodes[size_t(s.at)].end = int(m_nodes.size());
            stack.pop_back();
            continue;
        }
        const int old = (*s.children)[s.next++];
        Node n = std::move(all[size_t(old)].node);
        n.parent = n.parent < 0 ? -1 : newIndex[size_t(n.parent)];
        newIndex[size_t(old)] = int(m_nodes.size());
        m_byKey.insert(all[size_t(old)].key, int(m_nodes.size()));
        m_nodes.push_back(std::move(n));
        stack.push_back({&all[size_t(old)].children, 0, int(m_nodes.size() - 1)});
    }
}

int GroupTree::indexOf(const QString &path) const
{
    return m_byKey.value(GroupList::key(path), -1);
}

QList<qint64> GroupTree::groupsWithin(int index) const
{
    QList<qint64> out;
    if (index < 0 || size_t(index) >= m_nodes.size())
        return out;
    for (int i = index; i < m_nodes[size_t(index)].end; ++i)
        out += m_nodes[size_t(i)].groups;
    return out;
}

GroupTree::Scope GroupTree::scopeOf(const QString &chosen, qint64 nGrp, bool below) const
{
    const int node = indexOf(chosen);
    Scope out;
    if (node >= 0 && below) {
        out.all = false;
        const QList<qint64> within = groupsWithin(node);
        out.groups = QSet<qint64>(within.cbegin(), within.cend());
    } else if (nGrp > 0) {
        out.all = false;
        out.groups.insert(nGrp);
    } else if (node >= 0) {
        out.all = false;
    }
    return out;
}
