#include "MaintenanceSave.h"

#include "app/Usr.h"
#include "platform/NumberText.h"

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
    for (const LinkRow &l : m_links) {
        qint64 group = m_groupList.numberOf(l.group);
        // A group deleted in the same save leaves its links in group 0, where they stay visible.
        if (c.deletedGroups.contains(group))
            group = 0;
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

bool MaintenanceSave::apply(QString *error) const
{
    return LinkStore::applyMaintenance(changes(), error);
}

QList<qint64> MaintenanceSave::numbers(const QString &list)
{
    QString text = list;
    Usr::CutEnd(text, QStringLiteral(","));
    QList<qint64> out;
    for (const QString &part : text.split(u',', Qt::SkipEmptyParts))
        out.append(wholeNumber(part));
    return out;
}
