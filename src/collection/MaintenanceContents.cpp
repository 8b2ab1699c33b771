#include "MaintenanceContents.h"

#include "check/CheckHistory.h"
#include "store/LinkStore.h"

#include <QHash>
#include <QStringList>
#include <limits>

bool MaintenanceContents::read(MaintenanceContents &out, QString *error)
{
    const QByteArrayView fresh("11");
    auto sortText
        = [](bool has, double v) { return has ? QByteArray::number(v, 'f', 1) : QByteArray(); };
    QList<GroupRecord> groups;
    QStringList names;
    bool ok = LinkStore::forEachGridGroup(
        [&](const LinkStore::GroupView &g) {
            out.groups.push_back(
                PackedRow {fresh, g.nGrpText, g.sGrp, sortText(g.hasSort, g.gSrt)});
            const QString name = QString::fromUtf8(g.sGrp);
            names.append(name);
            // A missing sort key comes first, as the engine orders it.
            groups.append(
                {g.nGrp, name, g.hasSort ? g.gSrt : -std::numeric_limits<double>::infinity()});
        },
        error);
    // Each link shows the mark of its latest check, and where its page moved for good.
    QHash<qint64, CheckHistory::Latest> checks;
    ok = ok && CheckHistory::readLatest(checks, error);
    out.checked = !checks.isEmpty();
    ok = ok
        && LinkStore::forEachGridLink(
             [&](const LinkStore::LinkView &l) {
                 const auto c = checks.constFind(l.nURL);
                 const bool has = c != checks.cend();
                 out.links.push_back(
                     PackedRow {fresh, l.nURLText, l.sNam, l.sGrp, sortText(l.hasSort, l.gSrt),
                                l.sURL, has ? c->mark().toUtf8() : QByteArray(), QByteArrayView(),
                                has ? c->last.movedTo.toUtf8() : QByteArray()});
             },
             error);
    out.names = names.join(u'\t');
    out.groupList = GroupList(groups);
    return ok;
}
