#include "LinkList.h"

#include "platform/NoCase.h"
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
    qint64 group;
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
        return NoCase::compareUtf8(a->name, b->name) < 0;
    };
    std::sort(order.begin(), order.end(), before);
    for (size_t i = 0; i < order.size(); ++i)
        order[i]->rank = i > 0 && !before(order[i - 1], order[i]) ? order[i - 1]->rank : int(i);
}

bool before(int rankA, double sortA, const PackedRow &a, int rankB, double sortB,
            const PackedRow &b)
{
    if (rankA != rankB)
        return rankA < rankB;
    if (sortA != sortB)
        return sortA < sortB;
    return NoCase::compareUtf8(cell(a, Title), cell(b, Title)) < 0;
}

// The links of group nGrp (all for nGrp <= 0) that keep() chooses, in list order.
bool ordered(qint64 nGrp, const ChooseFn &keep, Ordered &out, QString *error)
{
    QHash<qint64, Group> groups;
    if (!LinkStore::forEachGroup(
            [&](const LinkStore::GroupView &g) {
                groups.insert(g.nGrp, {g.sGrp.toByteArray(), g.gSrt, 0});
            },
            error))
        return false;
    rankGroups(groups);
    std::vector<Entry> entries;
    std::vector<qint64> numbers;
    // Only links whose group row exists are listed, as a joined listing would.
    const bool ok = LinkStore::forEachLink(
        nGrp,
        [&](const LinkStore::LinkView &v) {
            const auto g = groups.constFind(v.nGrp);
            if (g == groups.constEnd() || (keep && !keep(v)))
                return;
            entries.push_back(
                {g->rank, v.gSrt, PackedRow {v.nURLText, v.sURL, g->name, v.sNam, v.sMem}, v.nGrp});
            numbers.push_back(v.nURL);
        },
        error);
    if (!ok)
        return false;
    // Equal keys stay in number order, as the engine's listing by number breaks ties.
    std::vector<qint32> order(entries.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = qint32(i);
    std::stable_sort(order.begin(), order.end(), [&](qint32 x, qint32 y) {
        const Entry &a = entries[size_t(x)];
        const Entry &b = entries[size_t(y)];
        return before(a.groupRank, a.linkSort, a.cells, b.groupRank, b.linkSort, b.cells);
    });
    out.rows.clear();
    out.keys.clear();
    out.rows.reserve(order.size());
    out.keys.reserve(order.size());
    for (const qint32 i : order) {
        Entry &e = entries[size_t(i)];
        out.rows.push_back(std::move(e.cells));
        out.keys.push_back({e.groupRank, e.linkSort, numbers[size_t(i)], e.group});
    }
    out.groups.clear();
    for (auto g = groups.cbegin(); g != groups.cend(); ++g)
        out.groups.insert(g.key(), {g->name, g->rank});
    return true;
}

} // namespace

bool load(bool recent, qint64 nGrp, std::vector<PackedRow> &rows, QString *error,
          const std::function<bool(qint64)> &keep)
{
    if (!recent) {
        Ordered o;
        ChooseFn choose;
        if (keep)
            choose = [&keep](const LinkStore::LinkView &v) { return keep(v.nURL); };
        if (!ordered(nGrp, choose, o, error))
            return false;
        rows = std::move(o.rows);
        return true;
    }
    // The newest links among those kept: the filter comes before the limit.
    std::vector<PackedRow> newest;
    const bool ok = LinkStore::forEachRecentLink(
        keep ? -1 : kRecent,
        [&](const LinkStore::LinkView &v) {
            if (newest.size() < size_t(kRecent) && (!keep || keep(v.nURL)))
                newest.push_back(PackedRow {v.nURLText, v.sURL, v.sGrp, v.sNam, v.sMem});
        },
        error);
    if (!ok)
        return false;
    rows = std::move(newest);
    return true;
}

bool loadChosen(qint64 nGrp, const ChooseFn &choose, std::vector<PackedRow> &rows, QString *error)
{
    Ordered o;
    if (!ordered(nGrp, choose, o, error))
        return false;
    rows = std::move(o.rows);
    return true;
}

bool loadAll(Ordered &out, QString *error)
{
    return ordered(0, {}, out, error);
}

void Ordered::remove(qint64 number)
{
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].number == number) {
            keys.erase(keys.begin() + qsizetype(i));
            rows.erase(rows.begin() + qsizetype(i));
            return;
        }
    }
}

void Ordered::place(qint64 number, const QString &address, qint64 nGrp, const QString &title,
                    const QString &description, double sort)
{
    remove(number);
    const auto g = groups.constFind(nGrp);
    if (g == groups.constEnd())
        return;
    const QByteArray n = QByteArray::number(number);
    PackedRow row {n, address.toUtf8(), g->name, title.toUtf8(), description.toUtf8()};
    // The list's order with the number last, as equal keys stay in number order.
    auto earlier = [&](size_t i) {
        const Key &k = keys[i];
        if (before(k.groupRank, k.sort, rows[i], g->rank, sort, row))
            return true;
        if (before(g->rank, sort, row, k.groupRank, k.sort, rows[i]))
            return false;
        return k.number < number;
    };
    size_t lo = 0, hi = keys.size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (earlier(mid))
            lo = mid + 1;
        else
            hi = mid;
    }
    const size_t at = lo;
    keys.insert(keys.begin() + qsizetype(at), {g->rank, sort, number, nGrp});
    rows.insert(rows.begin() + qsizetype(at), std::move(row));
}

ListRow toListRow(const PackedRow &r)
{
    return {text(r, Number), text(r, Address), text(r, GroupName), text(r, Title),
            text(r, Description)};
}

} // namespace LinkList
