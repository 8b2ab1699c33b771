#include "LinkList.h"

#include "store/LinkStore.h"

#include <QHash>
#include <algorithm>

namespace LinkList {
namespace {

constexpr int kRecent = 50;

struct Entry
{
    int groupRank;
    double linkSort;
    PackedRow cells;
};

struct Group
{
    QByteArray name;
    double sort = 0;
    int rank = 0;
};

// Ranks groups by sort key then name; groups equal in both share a rank, so their links mix
// as the engine's joined listing mixes them.
void rankGroups(QHash<qint64, Group> &groups)
{
    std::vector<Group *> order;
    order.reserve(size_t(groups.size()));
    for (Group &g : groups)
        order.push_back(&g);
    auto before = [](const Group *a, const Group *b) {
        if (a->sort != b->sort)
            return a->sort < b->sort;
        return compareNoCase(a->name, b->name) < 0;
    };
    std::sort(order.begin(), order.end(), before);
    for (size_t i = 0; i < order.size(); ++i)
        order[i]->rank = i > 0 && !before(order[i - 1], order[i]) ? order[i - 1]->rank : int(i);
}

} // namespace

bool load(bool recent, int nGrp, std::vector<PackedRow> &rows, QString *error,
          const std::function<bool(qint64)> &keep)
{
    std::vector<Entry> entries;
    entries.reserve(std::max<size_t>(rows.size(), 64));
    if (recent) {
        // The newest links among those kept: the filter comes before the limit.
        const bool ok = LinkStore::forEachRecentLink(
            keep ? -1 : kRecent,
            [&](const LinkStore::LinkView &v) {
                if (entries.size() < size_t(kRecent) && (!keep || keep(v.nURL)))
                    entries.push_back(
                        {0, 0.0, PackedRow {v.nURLText, v.sURL, v.sGrp, v.sNam, v.sMem}});
            },
            error);
        if (!ok)
            return false;
    } else {
        QHash<qint64, Group> groups;
        if (!LinkStore::forEachGroup(
                [&](const LinkStore::GroupView &g) {
                    groups.insert(g.nGrp, {g.sGrp.toByteArray(), g.gSrt, 0});
                },
                error))
            return false;
        rankGroups(groups);
        // Only links whose group row exists are listed, as a joined listing would.
        const bool ok = LinkStore::forEachLink(
            nGrp,
            [&](const LinkStore::LinkView &v) {
                const auto g = groups.constFind(v.nGrp);
                if (g == groups.constEnd() || (keep && !keep(v.nURL)))
                    return;
                entries.push_back(
                    {g->rank, v.gSrt, PackedRow {v.nURLText, v.sURL, g->name, v.sNam, v.sMem}});
            },
            error);
        if (!ok)
            return false;
        std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
            if (a.groupRank != b.groupRank)
                return a.groupRank < b.groupRank;
            if (a.linkSort != b.linkSort)
                return a.linkSort < b.linkSort;
            return compareNoCase(a.cells.cell(Title), b.cells.cell(Title)) < 0;
        });
    }
    rows.clear();
    rows.reserve(entries.size());
    for (Entry &e : entries)
        rows.push_back(std::move(e.cells));
    return true;
}

ListRow toListRow(const PackedRow &r)
{
    return {r.text(Number), r.text(Address), r.text(GroupName), r.text(Title), r.text(Description)};
}

} // namespace LinkList
