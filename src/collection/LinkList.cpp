#include "LinkList.h"

#include "platform/NoCase.h"
#include "store/LinkStore.h"

#include <QHash>
#include <algorithm>
#include <tuple>

namespace LinkList {
namespace {

constexpr int kRecent = 50;

struct Entry // 24 bytes
{
    int groupRank;
    quint32 groupAt; // the group's place in the list's groups
    double linkSort;
    PackedRow cells;
};

struct Group
{
    QByteArray name;
    double sort = 0;
    int rank = 0;
    quint32 at = 0;
};

// The whole list's rows leave out the address where the title is shown: a million addresses
// are half the rows' text, and the list shows an address only in place of a missing title.
QByteArrayView leanAddress(QByteArrayView address, QByteArrayView title)
{
    return title.isEmpty() ? address : QByteArrayView();
}

quint32 narrowNumber(qint64 number)
{
    return number >= 0 && number < qint64(Ordered::kWideNumber) ? quint32(number)
                                                                : Ordered::kWideNumber;
}

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

bool readGroups(QHash<qint64, Group> &groups, QString *error)
{
    if (!LinkStore::forEachGroup(
            [&](const LinkStore::GroupView &g) {
                groups.insert(g.nGrp, {g.sGrp.toByteArray(), g.gSrt, 0});
            },
            error))
        return false;
    rankGroups(groups);
    return true;
}

// Only the groups placed are kept, ranked by place first, then as they rank.
void placeGroups(QHash<qint64, Group> &groups, const QHash<qint64, int> &place)
{
    std::vector<std::tuple<int, int, qint64>> order; // place, rank, group
    order.reserve(size_t(place.size()));
    for (auto g = groups.begin(); g != groups.end();) {
        const auto p = place.constFind(g.key());
        if (p == place.constEnd()) {
            g = groups.erase(g);
            continue;
        }
        order.emplace_back(*p, g->rank, g.key());
        ++g;
    }
    std::sort(order.begin(), order.end());
    int rank = -1;
    for (size_t i = 0; i < order.size(); ++i) {
        const auto &[p, r, g] = order[i];
        if (i == 0 || p != std::get<0>(order[i - 1]) || r != std::get<1>(order[i - 1]))
            ++rank;
        groups[g].rank = rank;
    }
}

// The links of group nGrp (all for nGrp <= 0) that keep() chooses, in list order; with place,
// of the groups placed only, by place first, and the rows alone (no keys, no groups). lean
// rows leave out the addresses the list does not show.
bool ordered(qint64 nGrp, const ChooseFn &keep, Ordered &out, QString *error,
             const QHash<qint64, int> *place = nullptr, bool lean = false)
{
    QHash<qint64, Group> groups;
    if (!readGroups(groups, error))
        return false;
    if (place)
        placeGroups(groups, *place);
    quint32 at = 0;
    for (Group &g : groups)
        g.at = at++;
    std::vector<Entry> entries;
    std::vector<qint64> numbers;
    PackedRow::Packer packer;
    out.textBytes = 0;
    // Only links whose group row exists are listed, as a joined listing would.
    const bool ok = LinkStore::forEachLink(
        nGrp,
        [&](const LinkStore::LinkView &v) {
            const auto g = groups.constFind(v.nGrp);
            if (g == groups.constEnd() || (keep && !keep(v)))
                return;
            const QByteArrayView address = lean ? leanAddress(v.sURL, v.sNam) : v.sURL;
            // The group's name is one text all its rows share.
            entries.push_back(
                {g->rank, g->at, v.gSrt,
                 packer.make({v.nURLText, address, g->name, v.sNam, v.sMem}, int(GroupName) - 1)});
            numbers.push_back(v.nURL);
            out.textBytes += size_t(v.sURL.size() + v.sNam.size() + v.sMem.size())
                + (v.sURL.contains('%') ? size_t(v.sURL.size()) : 0);
        },
        error);
    if (!ok)
        return false;
    // Sorted side by side with each title's first bytes, so that most comparisons read no row.
    // Equal keys stay in number order (the entries'), as the engine's listing by number breaks
    // ties.
    struct Sorted
    {
        double sort;
        quint64 prefix;
        quint32 entry;
    };
    // Bucketed by group rank first (a counting sort), then each rank's links sorted alone:
    // fewer comparisons, over fewer bytes.
    int ranks = 0;
    for (const Group &g : std::as_const(groups))
        ranks = qMax(ranks, g.rank + 1);
    std::vector<quint32> start(size_t(ranks) + 1, 0);
    for (const Entry &e : entries)
        ++start[size_t(e.groupRank) + 1];
    for (size_t r = 1; r < start.size(); ++r)
        start[r] += start[r - 1];
    std::vector<Sorted> order(entries.size());
    {
        std::vector<quint32> next(start.begin(), start.end() - 1);
        for (size_t i = 0; i < entries.size(); ++i) {
            const Entry &e = entries[i];
            order[next[size_t(e.groupRank)]++]
                = {e.linkSort, NoCase::prefixUtf8(cell(e.cells, Title)), quint32(i)};
        }
    }
    auto earlier = [&](const Sorted &a, const Sorted &b) {
        if (a.sort != b.sort)
            return a.sort < b.sort;
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        if (const int c = NoCase::compareUtf8(cell(entries[a.entry].cells, Title),
                                              cell(entries[b.entry].cells, Title)))
            return c < 0;
        return a.entry < b.entry;
    };
    for (size_t r = 0; r + 1 < start.size(); ++r)
        std::sort(order.begin() + start[r], order.begin() + start[r + 1], earlier);
    out.rows.clear();
    out.keys.clear();
    out.rows.reserve(order.size());
    if (place) {
        for (const Sorted &s : order)
            out.rows.push_back(std::move(entries[s.entry].cells));
        return true;
    }
    out.keys.reserve(order.size());
    for (const Sorted &s : order) {
        const size_t i = s.entry;
        Entry &e = entries[i];
        out.rows.push_back(std::move(e.cells));
        out.keys.push_back({e.linkSort, narrowNumber(numbers[i]), e.groupAt});
    }
    out.groups.assign(size_t(groups.size()), {});
    out.groupAt.clear();
    for (auto g = groups.cbegin(); g != groups.cend(); ++g) {
        out.groups[g->at] = {g.key(), g->name, g->rank};
        out.groupAt.insert(g.key(), g->at);
    }
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

bool loadFirst(int count, std::vector<PackedRow> &rows, QString *error)
{
    QHash<qint64, Group> groups;
    if (!readGroups(groups, error))
        return false;
    std::vector<std::pair<int, qint64>> byRank; // rank, group
    byRank.reserve(size_t(groups.size()));
    for (auto g = groups.cbegin(); g != groups.cend(); ++g)
        byRank.emplace_back(g->rank, g.key());
    std::sort(byRank.begin(), byRank.end());
    struct First
    {
        int rank;
        double sort;
        qint64 number;
        PackedRow cells;
    };
    std::vector<First> first;
    // Whole ranks, as the links of groups sharing a rank mix; each group gives at most count.
    for (size_t i = 0; i < byRank.size() && first.size() < size_t(count);) {
        const int rank = byRank[i].first;
        for (; i < byRank.size() && byRank[i].first == rank; ++i) {
            const Group &g = groups[byRank[i].second];
            const bool ok = LinkStore::forEachFirstLink(
                byRank[i].second, count,
                [&](const LinkStore::LinkView &v) {
                    first.push_back({rank, v.gSrt, v.nURL,
                                     PackedRow {v.nURLText, leanAddress(v.sURL, v.sNam), g.name,
                                                v.sNam, v.sMem}});
                },
                error);
            if (!ok)
                return false;
        }
    }
    std::sort(first.begin(), first.end(), [](const First &a, const First &b) {
        if (before(a.rank, a.sort, a.cells, b.rank, b.sort, b.cells))
            return true;
        if (before(b.rank, b.sort, b.cells, a.rank, a.sort, a.cells))
            return false;
        return a.number < b.number;
    });
    rows.clear();
    rows.reserve(qMin(first.size(), size_t(count)));
    for (size_t i = 0; i < first.size() && i < size_t(count); ++i)
        rows.push_back(std::move(first[i].cells));
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

bool loadPlaced(const QHash<qint64, int> &place, std::vector<PackedRow> &rows, QString *error)
{
    Ordered o;
    if (!ordered(place.size() == 1 ? place.constBegin().key() : 0, {}, o, error, &place))
        return false;
    rows = std::move(o.rows);
    return true;
}

bool loadAll(Ordered &out, QString *error)
{
    return ordered(0, {}, out, error, nullptr, true);
}

qint64 Ordered::number(size_t i) const
{
    const quint32 n = keys[i].number;
    return n != kWideNumber ? qint64(n) : cell(rows[i], Number).toLongLong();
}

qsizetype Ordered::find(qint64 number) const
{
    const quint32 narrow = narrowNumber(number);
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].number == narrow && (narrow != kWideNumber || this->number(i) == number))
            return qsizetype(i);
    }
    return -1;
}

void Ordered::remove(qint64 number)
{
    if (const qsizetype i = find(number); i >= 0) {
        keys.erase(keys.begin() + i);
        rows.erase(rows.begin() + i);
    }
}

void Ordered::place(qint64 number, const QString &address, qint64 nGrp, const QString &title,
                    const QString &description, double sort)
{
    remove(number);
    const auto at = groupAt.constFind(nGrp);
    if (at == groupAt.constEnd())
        return;
    const Group &g = groups[*at];
    const QByteArray n = QByteArray::number(number), t = title.toUtf8();
    PackedRow row {n, leanAddress(address.toUtf8(), t), g.name, t, description.toUtf8()};
    // The list's order with the number last, as equal keys stay in number order.
    auto earlier = [&](size_t i) {
        const Key &k = keys[i];
        const int rank = groups[k.group].rank;
        if (before(rank, k.sort, rows[i], g.rank, sort, row))
            return true;
        if (before(g.rank, sort, row, rank, k.sort, rows[i]))
            return false;
        return this->number(i) < number;
    };
    size_t lo = 0, hi = keys.size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (earlier(mid))
            lo = mid + 1;
        else
            hi = mid;
    }
    keys.insert(keys.begin() + qsizetype(lo), {sort, narrowNumber(number), *at});
    rows.insert(rows.begin() + qsizetype(lo), std::move(row));
}

ListRow toListRow(const PackedRow &r)
{
    return {text(r, Number), address(r), text(r, GroupName), text(r, Title), text(r, Description)};
}

QString address(const PackedRow &row)
{
    if (const QByteArrayView a = cell(row, Address); !a.isEmpty() || cell(row, Title).isEmpty())
        return QString::fromUtf8(a);
    bool ok = false;
    const qint64 n = cell(row, Number).toLongLong(&ok);
    std::optional<QString> read;
    if (!ok || !LinkStore::addressOf(n, read))
        return {};
    return read.value_or(QString());
}

QList<ListRow> toListRows(const std::vector<PackedRow> &rows)
{
    QList<ListRow> out;
    out.reserve(qsizetype(rows.size()));
    QHash<qint64, qsizetype> missing; // rows whose address is read
    for (const PackedRow &r : rows) {
        out.append({text(r, Number), text(r, Address), text(r, GroupName), text(r, Title),
                    text(r, Description)});
        if (out.back().sURL.isEmpty() && !out.back().sNam.isEmpty())
            missing.insert(cell(r, Number).toLongLong(), out.size() - 1);
    }
    // A few are read one by one, many in one pass over the links.
    if (missing.size() <= 256) {
        for (auto m = missing.cbegin(); m != missing.cend(); ++m)
            out[*m].sURL = address(rows[size_t(*m)]);
        return out;
    }
    LinkStore::forEachLink(0, [&](const LinkStore::LinkView &v) {
        if (const auto m = missing.constFind(v.nURL); m != missing.cend())
            out[*m].sURL = QString::fromUtf8(v.sURL);
    });
    return out;
}

} // namespace LinkList
