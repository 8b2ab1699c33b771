#include "AddLink.h"

#include "address/Address.h"
#include "address/UrlKey.h"
#include "collection/CollectionIndex.h"
#include "collection/LinkIndex.h"
#include "collection/RegisterPage.h"
#include "collection/Registration.h"
#include "pages/PageArchive.h"
#include "pages/PageText.h"
#include "platform/DataFolder.h"
#include "platform/NumberText.h"
#include "store/GroupList.h"
#include "store/GroupTree.h"
#include "store/LinkStore.h"
#include "store/TextStore.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(AddLink)
};

// As F3 gives a new page and a new group.
constexpr double kNewSort = 100;
constexpr double kNewGroupSort = 100;

// One line of title; the description's line ends as the panel stores them.
void textsOf(const QString &title, const QString &description, QString &t, QString &d)
{
    QString line = title;
    line.replace(u'\r', u' ').replace(u'\n', u' ');
    QString ignored;
    Registration::splitMemo(line.trimmed() + QStringLiteral("\r\n") + description, ignored, d);
    t = line.trimmed();
}

} // namespace

AddLink::AddLink(const QString &dataPh, LinkIndex *index, TwinsFn twins)
    : m_dataPh(dataPh)
    , m_index(index)
    , m_twins(std::move(twins))
{
}

QString AddLink::cleanPath(const QString &path)
{
    QStringList parts;
    for (const QString &p : path.split(GroupTree::kSlash)) {
        if (!p.trimmed().isEmpty())
            parts.append(p.trimmed());
    }
    return parts.join(GroupTree::kSlash);
}

bool AddLink::registered(const QString &url, std::optional<LinkRecord> &link, QString *error)
{
    link.reset();
    QList<LinkRecord> candidates;
    if (!LinkStore::lookup(url, candidates, error))
        return false;
    for (const LinkRecord &c : std::as_const(candidates)) {
        if (Address::same(c.sURL, url)) {
            link = c;
            break;
        }
    }
    return true;
}

std::vector<AddLink::Twin> AddLink::twinsInStore(const QString &address, QString *error)
{
    std::vector<Twin> out;
    const QString key = UrlKey::of(address);
    if (key.isEmpty())
        return out;
    LinkStore::forEachLink(
        0,
        [&](const LinkStore::LinkView &v) {
            const QString url = QString::fromUtf8(v.sURL);
            if (UrlKey::of(url) == key)
                out.push_back({v.nURL, url, QString::fromUtf8(v.sNam)});
        },
        error);
    return out;
}

std::vector<AddLink::Twin> AddLink::twinsIn(const CollectionIndex &index, const QString &address)
{
    std::vector<Twin> out;
    for (const CollectionIndex::Twin &t : index.twinsOf(address)) {
        std::optional<QString> url;
        LinkStore::addressOf(t.nURL, url);
        out.push_back({t.nURL, url.value_or(QString()), t.title});
    }
    return out;
}

AddLink::Outcome AddLink::run(const Request &r, qint64 addedSecs)
{
    Outcome out;
    const QString url = r.url.trimmed();
    if (url.isEmpty() || !Registration::isRegistrable(url)) {
        out.status = Status::BadInput;
        out.error = Tr::tr("登録できないｱﾄﾞﾚｽです: %1").arg(url);
        return out;
    }
    std::optional<LinkRecord> stored;
    if (!registered(url, stored, &out.error))
        return out;
    if (stored && r.skipRegistered) {
        out.status = Status::Skipped;
        out.link = *stored;
        return out;
    }
    if (!stored && !r.addTwin) {
        const std::vector<Twin> twins = m_twins ? m_twins(url) : twinsInStore(url);
        if (!twins.empty()) {
            out.status = Status::Twin;
            out.twin = twins.front();
            return out;
        }
    }

    // The group: the one rule that finds a group by its name; the folders of a new path are
    // made from the top down, each only when the tree has no folder of that path.
    GroupList groups;
    if (!GroupList::load(groups, &out.error))
        return out;
    const QString path = cleanPath(r.group);
    QStringList newGroups;
    std::optional<qint64> nGrp;
    if (path.isEmpty() && stored)
        nGrp = stored->nGrp;
    else
        nGrp = RegisterPage::groupOf(groups, path);
    if (!nGrp) {
        const GroupTree tree(groups.listed());
        const QStringList parts = path.split(GroupTree::kSlash);
        for (qsizetype i = 1; i < parts.size(); ++i) {
            const QString folder = parts.first(i).join(GroupTree::kSlash);
            if (tree.indexOf(folder) < 0 && !groups.find(folder))
                newGroups.append(folder);
        }
        newGroups.append(path);
    }

    LinkRecord link;
    QString title, description;
    textsOf(r.title, r.description, title, description);
    if (stored) {
        link = *stored;
        if (!title.isEmpty())
            link.sNam = title;
        if (!description.isEmpty())
            link.sMem = description;
        if (r.sort)
            link.gSrt = NumberText::toSingle(*r.sort);
    } else {
        if (!LinkStore::nextLinkNumber(link.nURL, &out.error))
            return out;
        link.sURL = url;
        link.sNam = title.isEmpty() ? Registration::pageTitle(r.pageTitle.simplified()) : title;
        link.sMem = description;
        link.gSrt = NumberText::toSingle(r.sort.value_or(kNewSort));
    }
    link.nGrp = nGrp.value_or(0);
    const bool isNew = !stored;
    const bool saved = newGroups.isEmpty()
        ? Registration::save(isNew, link, addedSecs, &out.error)
        : LinkStore::saveInNewGroups(newGroups, kNewGroupSort, link, isNew, addedSecs, &out.error);
    if (!saved)
        return out;
    out.status = isNew ? Status::New : Status::Corrected;
    out.link = link;
    out.groupsMade = !newGroups.isEmpty();
    if (m_index)
        m_index->saved(link);
    if (r.page)
        keepPage(*r.page, out);
    return out;
}

void AddLink::keepPage(const QByteArray &page, Outcome &out)
{
    const qint64 n = out.link.nURL;
    if (!PageArchive::keepHtml(m_dataPh, n, out.link.sURL, page, &out.error))
        return;
    // Derived data: a text that cannot be stored now is read from the copy at the next start.
    const QFileInfo copy(PageArchive::htmlFileFor(m_dataPh, n));
    const TextStore::Copy read {copy.size(), copy.lastModified().toSecsSinceEpoch(), true};
    TextStore(DataFolder::textIndex(m_dataPh)).put(n, PageText::ofHtml(page), &read);
}
