#include "MaintenanceSave.h"

#include "collection/DeleteLink.h"
#include "platform/NumberText.h"
#include "store/GroupTree.h"

#include <QHash>
#include <QSet>

#include <cmath>

namespace {

double sortValue(const QString &text)
{
    return NumberText::toSingle(NumberText::lenient(text));
}
// Numbers as the grids show them: whole numbers read exactly, all 64 bits of them.
qint64 wholeNumber(const QString &text)
{
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok);
    return ok ? n : std::llround(NumberText::lenient(text));
}

} // namespace

MaintenanceSave::MaintenanceSave(const GroupList &groupList)
    : m_groupList(groupList)
{
}

void MaintenanceSave::groupRow(const QString &code, const QString &number, const QString &name,
                               const QString &sort)
{
    if (code == u"12" && !number.isEmpty())
        m_changes.updatedGroups.append({wholeNumber(number), name, sortValue(sort)});
    else if (code == u"02")
        m_changes.newGroups.append({0, name, sortValue(sort)});
}

void MaintenanceSave::linkRow(const QString &code, const QString &number, const QString &title,
                              const QString &group, const QString &sort, const QString &address)
{
    // Rows without a number were never stored (the placeholders of an empty grid).
    if (code == u"12" && !number.isEmpty())
        m_links.append({wholeNumber(number), title, group, sortValue(sort), address});
}

void MaintenanceSave::deleted(const QString &groupNumbers, const QString &linkNumbers)
{
    m_changes.deletedGroups = numbers(groupNumbers);
    m_changes.deletedLinks = numbers(linkNumbers);
}

LinkStore::MaintenanceChanges MaintenanceSave::changes() const
{
    LinkStore::MaintenanceChanges c = m_changes;
    const QList<GroupRecord> &listed = m_groupList.listed();
    QSet<qint64> edited(c.deletedGroups.cbegin(), c.deletedGroups.cend());
    QHash<qint64, QString> name; // every group's name after the save
    for (const GroupRecord &g : listed)
        name.insert(g.nGrp, g.sGrp);
    for (const GroupRecord &u : std::as_const(c.updatedGroups))
        edited.insert(u.nGrp);
    for (const GroupRecord &u : std::as_const(c.updatedGroups)) {
        const QString old = name.value(u.nGrp);
        if (old.isNull() || old == u.sGrp)
            continue;
        for (const GroupRecord &g : listed) {
            if (!edited.contains(g.nGrp) && GroupTree::isWithin(g.sGrp, old)) {
                c.movedGroups.append({g.nGrp, GroupTree::moved(g.sGrp, old, u.sGrp), 0});
                edited.insert(g.nGrp);
            }
        }
    }
    for (const GroupRecord &u : std::as_const(c.updatedGroups))
        name.insert(u.nGrp, u.sGrp);
    for (const GroupRecord &m : std::as_const(c.movedGroups))
        name.insert(m.nGrp, m.sGrp);
    // A renamed group whose new path another group holds joins that one: the first listed,
    // those left as they were before those renamed.
    QHash<QString, qint64> holder;
    for (const bool renamed : {false, true}) {
        for (const GroupRecord &g : listed) {
            const QString key = GroupList::key(name[g.nGrp]);
            if (edited.contains(g.nGrp) == renamed && !c.deletedGroups.contains(g.nGrp)
                && !holder.contains(key))
                holder.insert(key, g.nGrp);
        }
    }
    QHash<qint64, qint64> into;
    for (const GroupRecord &g : listed) {
        const qint64 h = holder.value(GroupList::key(name[g.nGrp]), g.nGrp);
        if (h != g.nGrp && edited.contains(g.nGrp) && !c.deletedGroups.contains(g.nGrp)) {
            c.joinedGroups.append({g.nGrp, h});
            into.insert(g.nGrp, h);
        }
    }
    for (const LinkRow &l : m_links) {
        qint64 group = m_groupList.numberOf(l.group);
        // A group deleted in the same save leaves its links in group 0, where they stay visible.
        if (c.deletedGroups.contains(group))
            group = 0;
        group = into.value(group, group);
        LinkRecord r;
        r.nURL = l.nURL;
        r.nGrp = group;
        r.sNam = l.title;
        r.gSrt = l.sort;
        r.sURL = l.address;
        c.updatedLinks.append(r);
    }
    return c;
}

bool MaintenanceSave::apply(const QString &dataPh, QString *error) const
{
    const LinkStore::MaintenanceChanges c = changes();
    if (!LinkStore::applyMaintenance(c, error))
        return false;
    // The window's search index is rebuilt when the main window reloads after this window.
    DeleteLink gone(dataPh, nullptr);
    for (const qint64 nURL : c.deletedLinks)
        gone.rowGone(nURL);
    return true;
}

QStringList MaintenanceSave::joins() const
{
    const LinkStore::MaintenanceChanges c = changes();
    QStringList out;
    for (const auto &[from, into] : c.joinedGroups) {
        Q_UNUSED(from);
        for (const GroupRecord &g : m_groupList.listed()) {
            if (g.nGrp == into && !out.contains(g.sGrp))
                out << g.sGrp;
        }
    }
    return out;
}

QList<qint64> MaintenanceSave::belowDeleted() const
{
    QList<qint64> out;
    for (const GroupRecord &d : m_groupList.listed()) {
        if (!m_changes.deletedGroups.contains(d.nGrp))
            continue;
        for (const GroupRecord &g : m_groupList.listed()) {
            if (g.nGrp != d.nGrp && !m_changes.deletedGroups.contains(g.nGrp)
                && !out.contains(g.nGrp) && GroupTree::isWithin(g.sGrp, d.sGrp))
                out.append(g.nGrp);
        }
    }
    return out;
}

QList<qint64> MaintenanceSave::numbers(const QString &list)
{
    QList<qint64> out;
    for (const QString &part : list.split(u',', Qt::SkipEmptyParts))
        out.append(wholeNumber(part));
    return out;
}
