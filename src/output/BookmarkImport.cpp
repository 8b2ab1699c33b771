#include "BookmarkImport.h"

#include "output/BookmarkNoCase.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <vector>

namespace BookmarkImport {

ImportPlan plan(const BookmarkFile &file, const QList<GroupRecord> &groups,
                const InCollection &inCollection, int firstLinkNo)
{
    ImportPlan plan;
    plan.linksRead = int(file.links.size());
    plan.skippedLines = int(file.skippedLines.size());

    // Which links go in: not in the collection and not earlier in the file.
    std::vector<bool> takes(size_t(file.links.size()), false);
    std::vector<int> takenIn(size_t(file.folders.size()), 0);
    AddressSet seen;
    seen.reserve(file.links.size());
    for (const BookmarkLink &l : file.links) {
        const bool duplicate = (inCollection && inCollection(l.address)) || !seen.insert(l.address);
        if (duplicate) {
            ++plan.duplicates;
            continue;
        }
        takes[size_t(l.order)] = true;
        if (l.folder >= 0)
            ++takenIn[size_t(l.folder)];
    }

    // Existing names as the group list holds them (by sort key, then name): the first match wins,
    // and group 0 is not in that list.
    QList<GroupRecord> listed;
    int nextGroup = 1;
    double highestSort = 0;
    for (const GroupRecord &g : groups) {
        nextGroup = qMax(nextGroup, g.nGrp + 1);
        highestSort = qMax(highestSort, g.gSrt);
        if (g.nGrp != 0)
            listed.append(g);
    }
    std::stable_sort(listed.begin(), listed.end(), [](const GroupRecord &a, const GroupRecord &b) {
        if (a.gSrt != b.gSrt)
            return a.gSrt < b.gSrt;
        const int c = NoCase::compare(a.sGrp, b.sGrp);
        return c != 0 ? c < 0 : a.nGrp < b.nGrp;
    });
    QHash<QString, int> byName;
    for (const GroupRecord &g : listed) {
        if (!byName.contains(g.sGrp.toCaseFolded()))
            byName.insert(g.sGrp.toCaseFolded(), g.nGrp);
    }

    double nextSort = std::floor(highestSort) + 1;
    std::vector<int> groupOf(size_t(file.folders.size()), -1);
    for (qsizetype f = 0; f < file.folders.size(); ++f) {
        const BookmarkFolder &folder = file.folders[f];
        const bool empty = folder.links == 0 && folder.folders == 0;
        if (takenIn[size_t(f)] == 0 && !empty)
            continue;
        const QString key = folder.path.toCaseFolded();
        auto it = byName.constFind(key);
        if (it == byName.constEnd()) {
            plan.newGroups.append({nextGroup, folder.path, nextSort});
            it = byName.insert(key, nextGroup);
            ++nextGroup;
            nextSort += 1;
        }
        groupOf[size_t(f)] = *it;
    }

    // Sort keys: the place among the file's links that go to the same group.
    QHash<int, int> placed;
    plan.links.reserve(file.links.size() - plan.duplicates);
    for (const BookmarkLink &l : file.links) {
        const int group = l.folder < 0 ? 0 : groupOf[size_t(l.folder)];
        if (group < 0)
            continue;
        const int place = ++placed[group];
        if (!takes[size_t(l.order)])
            continue;
        ImportLink in;
        in.link.sURL = l.address;
        in.link.nGrp = group;
        in.link.sNam = l.title;
        in.link.sMem = l.description;
        in.link.gSrt = place;
        in.added = l.added;
        plan.links.append(std::move(in));
    }

    // Numbers by date, so that the newest bookmarks are the highest numbers; the sort is stable,
    // so the file's order holds where dates are equal, and undated links (0) come first.
    std::stable_sort(plan.links.begin(), plan.links.end(),
                     [](const ImportLink &a, const ImportLink &b) { return a.added < b.added; });
    for (qsizetype i = 0; i < plan.links.size(); ++i)
        plan.links[i].link.nURL = firstLinkNo + int(i);
    return plan;
}

} // namespace BookmarkImport
