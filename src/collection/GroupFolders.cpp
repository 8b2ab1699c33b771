#include "GroupFolders.h"

#include "collection/LinkList.h"
#include "store/LinkStore.h"

#include <QHash>

#include <algorithm>
#include <limits>

namespace GroupFolders {

bool load(GroupTree &tree, QString *error)
{
    QList<GroupRecord> all;
    if (!LinkStore::forEachGroup(
            [&](const LinkStore::GroupView &g) {
                all.append({g.nGrp, QString::fromUtf8(g.sGrp),
                            g.hasSort ? g.gSrt : -std::numeric_limits<double>::infinity()});
            },
            error))
        return false;
    tree = GroupTree(all);
    return true;
}

bool count(const GroupTree &tree, std::vector<Count> &out, QString *error)
{
    const std::vector<GroupTree::Node> &nodes = tree.nodes();
    QHash<qint64, int> nodeOf;
    for (size_t i = 0; i < nodes.size(); ++i) {
        for (const qint64 g : nodes[i].groups)
            nodeOf.insert(g, int(i));
    }
    std::vector<Count> counts(nodes.size());
    if (!LinkStore::forEachLink(
            0,
            [&](const LinkStore::LinkView &v) {
                const auto it = nodeOf.constFind(v.nGrp);
                if (it != nodeOf.constEnd())
                    ++counts[size_t(*it)].links;
            },
            error))
        return false;
    // Children stand after their parents: summed from the end, each adds to its parent.
    for (size_t i = nodes.size(); i-- > 0;) {
        if (nodes[i].parent >= 0)
            counts[size_t(nodes[i].parent)].below += counts[i].links + counts[i].below;
    }
    out = std::move(counts);
    return true;
}

bool loadFolder(const GroupTree &tree, int index, bool below, std::vector<PackedRow> &rows,
                QString *error)
{
    const std::vector<GroupTree::Node> &nodes = tree.nodes();
    if (index < 0 || size_t(index) >= nodes.size()) {
        rows.clear();
        return true;
    }
    const int end = below ? nodes[size_t(index)].end : index + 1;
    QHash<qint64, int> place; // group to its folder's place in tree order
    for (int i = index; i < end; ++i) {
        for (const qint64 g : nodes[size_t(i)].groups)
            place.insert(g, i);
    }
    if (place.isEmpty()) {
        rows.clear();
        return true;
    }
    std::vector<PackedRow> read;
    if (!LinkList::loadPlaced(place, read, error))
        return false;
    rows = std::move(read);
    return true;
}

} // namespace GroupFolders
