#include "GroupList.h"

#include "platform/NoCase.h"
#include "store/LinkStore.h"

#include <algorithm>
#include <limits>

GroupList::GroupList(const QList<GroupRecord> &groups)
{
    for (const GroupRecord &g : groups) {
        if (g.nGrp == 0)
            m_zero = g;
        else
            m_listed.append(g);
    }
    std::stable_sort(m_listed.begin(), m_listed.end(),
                     [](const GroupRecord &a, const GroupRecord &b) {
                         if (a.gSrt != b.gSrt)
                             return a.gSrt < b.gSrt;
                         const int c = NoCase::compare(a.sGrp, b.sGrp);
                         return c != 0 ? c < 0 : a.nGrp < b.nGrp;
                     });
    m_byName.reserve(m_listed.size());
    for (const GroupRecord &g : std::as_const(m_listed))
        remember(g);
}

void GroupList::remember(const GroupRecord &g)
{
    const QString k = key(g.sGrp);
    if (!m_byName.contains(k))
        m_byName.insert(k, g.nGrp);
}

bool GroupList::load(GroupList &out, QString *error)
{
    QList<GroupRecord> all;
    const bool read = LinkStore::forEachGroup(
        [&](const LinkStore::GroupView &g) {
            // A missing sort key comes first, as the engine orders it.
            all.append({g.nGrp, QString::fromUtf8(g.sGrp),
                        g.hasSort ? g.gSrt : -std::numeric_limits<double>::infinity()});
        },
        error);
    if (read)
        out = GroupList(all);
    return read;
}

qint64 GroupList::numberOf(const QString &name) const
{
    return m_byName.value(key(name), 0);
}

std::optional<qint64> GroupList::find(const QString &name) const
{
    const QString k = key(name);
    const auto it = m_byName.constFind(k);
    if (it != m_byName.constEnd())
        return *it;
    if (m_zero && key(m_zero->sGrp) == k)
        return 0;
    return std::nullopt;
}

void GroupList::append(const GroupRecord &group)
{
    m_listed.append(group);
    remember(group);
}
