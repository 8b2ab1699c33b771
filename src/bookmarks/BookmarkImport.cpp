#include "BookmarkImport.h"

#include "address/Address.h"
#include "store/GroupList.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The description of a link whose address the file names more than once.
struct Merge
{
    QString memo;
    QSet<QString> held; // the title and every text already in the description

    Merge(const BookmarkLink &first)
        : memo(first.description)
    {
        held.insert(first.title);
        held.insert(first.description);
    }

    void add(const BookmarkLink &later)
    {
        QString block;
        for (const QString *text : {&later.title, &later.description}) {
            if (text->isEmpty() || held.contains(*text))
                continue;
            held.insert(*text);
            if (!block.isEmpty())
                block += QLatin1String("\r\n");
            block += *text;
        }
        if (block.isEmpty())
            return;
        if (!memo.isEmpty())
            memo += QLatin1String("\r\n\r\n");
        memo += block;
    }
};

} // namespace

namespace BookmarkImport {

ImportPlan plan(const BookmarkFile &file, const QList<GroupRecord> &groups,
                const InCollection &inCollection, qint64 firstLinkNo)
{
    ImportPlan plan;
    plan.linksRead = int(file.links.size());
    plan.skippedLines = int(file.skippedLines.size());

    // Which links go in: not in the collection and not earlier in the file. Earlier addresses
    // are found in an open-addressing table of link indices, with no allocation per address.
    const size_t count = size_t(file.links.size());
    std::vector<bool> takes(count, false);
    std::vector<int> takenIn(size_t(file.folders.size()), 0);
    size_t mask = 15;
    while (mask < 2 * count)
        mask = mask * 2 + 1;
    std::vector<int> table(mask + 1, -1);
    std::vector<size_t> hashes(count);
    std::vector<QString> forms(count);
    QHash<int, Merge> merges; // by the first entry of an address the file repeats
    for (const BookmarkLink &l : file.links) {
        if (inCollection && inCollection(l.address)) {
            ++plan.duplicates;
            continue;
        }
        const QString &form = forms[size_t(l.order)] = Address::matchForm(l.address);
        const size_t h = qHash(form);
        hashes[size_t(l.order)] = h;
        size_t slot = h & mask;
        int first = -1;
        for (; table[slot] >= 0; slot = (slot + 1) & mask) {
            const int other = table[slot];
            if (hashes[size_t(other)] == h && forms[size_t(other)] == form) {
                first = other;
                break;
            }
        }
        if (first >= 0) {
            auto merge = merges.find(first);
            if (merge == merges.end())
                merge = merges.insert(first, Merge(file.links[first]));
            merge->add(l);
            ++plan.merged;
            continue;
        }
        table[slot] = l.order;
        takes[size_t(l.order)] = true;
        if (l.folder >= 0)
            ++takenIn[size_t(l.folder)];
    }

    // Existing names found as the group list finds them; a folder named as group 0 goes there:
    // a new group of that name could never be told apart.
    GroupList byName(groups);
    qint64 nextGroup = 1;
    double highestSort = 0;
    for (const GroupRecord &g : groups) {
        nextGroup = qMax(nextGroup, g.nGrp < kMaxNumber ? g.nGrp + 1 : kMaxNumber);
        highestSort = qMax(highestSort, g.gSrt);
    }

    double nextSort = std::floor(highestSort) + 1;
    const qint64 firstNewGroup = nextGroup;
    std::vector<qint64> groupOf(size_t(file.folders.size()), -1);
    for (qsizetype f = 0; f < file.folders.size(); ++f) {
        const BookmarkFolder &folder = file.folders[f];
        const bool empty = folder.links == 0 && folder.folders == 0;
        if (takenIn[size_t(f)] == 0 && !empty)
            continue;
        std::optional<qint64> group = byName.find(folder.path);
        if (!group) {
            plan.newGroups.append({nextGroup, folder.path, nextSort});
            byName.append(plan.newGroups.last());
            group = nextGroup++;
            nextSort += 1;
        } else if (*group >= firstNewGroup) {
            // The file's folders are told apart by exact names, so another folder of the
            // file made this group: their paths differ in letter case only.
            ++plan.caseTwins;
        }
        groupOf[size_t(f)] = *group;
    }

    // Sort keys: the place among the file's links that go to the same group. Counters are
    // per group, found once per folder; the last counter is the root's (group 0).
    QHash<qint64, int> counterOf;
    std::vector<int> counterOfFolder(size_t(file.folders.size()), -1);
    for (size_t f = 0; f < groupOf.size(); ++f) {
        if (groupOf[f] < 0)
            continue;
        auto it = counterOf.constFind(groupOf[f]);
        if (it == counterOf.constEnd())
            it = counterOf.insert(groupOf[f], int(counterOf.size()));
        counterOfFolder[f] = *it;
    }
    if (!counterOf.contains(0))
        counterOf.insert(0, int(counterOf.size()));
    std::vector<int> placed(size_t(counterOf.size()), 0);
    std::vector<int> place(count, 0);
    std::vector<int> chosen;
    chosen.reserve(count - size_t(plan.duplicates + plan.merged));
    for (const BookmarkLink &l : file.links) {
        const int counter = l.folder < 0 ? counterOf.value(0) : counterOfFolder[size_t(l.folder)];
        if (counter < 0)
            continue;
        place[size_t(l.order)] = ++placed[size_t(counter)];
        if (takes[size_t(l.order)])
            chosen.push_back(l.order);
    }

    // Numbers by date, so that the newest bookmarks are the highest numbers; the sort is stable,
    // so the file's order holds where dates are equal, and undated links (0) come first.
    std::stable_sort(chosen.begin(), chosen.end(),
                     [&](int a, int b) { return file.links[a].added < file.links[b].added; });
    plan.links.reserve(qsizetype(chosen.size()));
    for (const int i : chosen) {
        const BookmarkLink &l = file.links[i];
        ImportLink in;
        in.link.nURL = firstLinkNo + plan.links.size();
        in.link.sURL = l.address;
        in.link.nGrp = l.folder < 0 ? 0 : groupOf[size_t(l.folder)];
        in.link.sNam = l.title;
        const auto merge = merges.constFind(i);
        in.link.sMem = merge == merges.constEnd() ? l.description : merge->memo;
        in.link.gSrt = place[size_t(i)];
        in.added = l.added;
        if (!l.tags.isEmpty())
            plan.tags.insert(in.link.nURL, l.tags);
        plan.links.append(std::move(in));
    }
    return plan;
}

} // namespace BookmarkImport
