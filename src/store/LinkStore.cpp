#include "LinkStore.h"

#include "store/Sql.h"
#include "store/Statements.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <charconv>

namespace LinkStore {
namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(LinkStore)
};

Sql::Statement st(const char *sql, const QVariantList &values = {})
{
    return Sql::SetPrm(QString::fromUtf8(sql), values);
}

bool exec(const char *sql, const QVariantList &values, QString *error)
{
    return Sql::exec(st(sql, values), error);
}

// The engine binds one value per listed number, up to its own limit: long lists go in parts.
bool execForNumbers(const char *sql, const QList<qint64> &numbers, QString *error)
{
    constexpr qsizetype kPart = 500;
    for (qsizetype i = 0; i < numbers.size(); i += kPart) {
        const Sql::NumberList part = numbers.mid(i, kPart);
        if (!exec(sql, {QVariant::fromValue(part)}, error))
            return false;
    }
    return true;
}

bool maxPlusOne(const char *sql, qint64 first, qint64 &n, QString *error)
{
    QString why;
    const Sql::Rows rows = Sql::query(st(sql), &why);
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    const bool none = rows.isEmpty() || rows.first().value(0).isNull();
    const qint64 highest = none ? 0 : rows.first().value(0).toLongLong();
    // Compared before adding: past the highest number a 64-bit one would wrap.
    if (!none && highest >= kMaxNumber) {
        if (error)
            *error = numberLimitText();
        return false;
    }
    n = none ? first : highest + 1;
    return true;
}

// A transaction that reports its own failure in *error.
bool inTransaction(QString *error, const std::function<bool(QString *)> &work)
{
    Sql::Transaction t;
    if (!t.ok()) {
        if (error)
            *error = t.error();
        return false;
    }
    QString why;
    if (!work(&why)) {
        t.rollback();
        if (error)
            *error = why;
        return false;
    }
    if (!t.commit()) {
        if (error)
            *error = t.error();
        return false;
    }
    return true;
}

} // namespace

QString numberLimitText()
{
    return Tr::tr("番号が上限の %1 に達しています").arg(kMaxNumber);
}

bool lookup(const QString &address, QList<LinkRecord> &found, QString *error)
{
    QString why;
    const Sql::Rows rows = Sql::query(st(Sql::kPageLookup, {address}), &why);
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    found.clear();
    for (const QVariantList &r : rows) { // gSrt, nURL, sNam, sMem, sURL, nGrp
        found.append(LinkRecord {r.value(1).toLongLong(), r.value(4).toString(),
                                 r.value(5).toLongLong(), r.value(2).toString(),
                                 r.value(3).toString(), r.value(0).toDouble()});
    }
    return true;
}

bool addressOf(qint64 nURL, std::optional<QString> &address, QString *error)
{
    QString why;
    const Sql::Rows rows = Sql::query(st(Sql::kLinkAddress, {nURL}), &why);
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    address.reset();
    if (!rows.isEmpty())
        address = rows.first().value(0).toString();
    return true;
}

bool nextLinkNumber(qint64 &n, QString *error)
{
    return maxPlusOne(Sql::kMaxUrlNo, 100, n, error);
}
bool nextGroupNumber(qint64 &n, QString *error)
{
    return maxPlusOne(Sql::kMaxGrpNo, 1, n, error);
}

bool insertLink(const LinkRecord &l, qint64 addedSecs, QString *error)
{
    return inTransaction(error, [&](QString *why) {
        return exec(Sql::kInsertLink, {l.nURL, l.sURL, l.nGrp, l.sNam, l.sMem, l.gSrt}, why)
            && exec(Sql::kSetLinkAdded, {l.nURL, addedSecs}, why);
    });
}

bool updateLink(const LinkRecord &l, QString *error)
{
    return exec(Sql::kUpdateLink, {l.nGrp, l.sNam, l.sMem, l.gSrt, l.nURL}, error);
}

bool saveInNewGroup(const QString &groupName, double groupSort, LinkRecord &l, bool isNew,
                    qint64 addedSecs, QString *error)
{
    return saveInNewGroups({groupName}, groupSort, l, isNew, addedSecs, error);
}

bool saveInNewGroups(const QStringList &groupNames, double groupSort, LinkRecord &l, bool isNew,
                     qint64 addedSecs, QString *error)
{
    LinkRecord saved = l;
    const bool ok = inTransaction(error, [&](QString *why) {
        for (const QString &name : groupNames) {
            if (!nextGroupNumber(saved.nGrp, why)
                || !exec(Sql::kInsertGroup, {saved.nGrp, name, groupSort}, why))
                return false;
        }
        if (!isNew)
            return exec(Sql::kUpdateLink, {saved.nGrp, l.sNam, l.sMem, l.gSrt, l.nURL}, why);
        return exec(Sql::kInsertLink, {l.nURL, l.sURL, saved.nGrp, l.sNam, l.sMem, l.gSrt}, why)
            && exec(Sql::kSetLinkAdded, {l.nURL, addedSecs}, why);
    });
    if (ok)
        l = saved;
    return ok;
}

bool deleteLink(qint64 nURL, QString *error)
{
    return inTransaction(error, [&](QString *why) {
        const QVariant number = QVariant::fromValue(Sql::NumberList {nURL});
        return exec(Sql::kDeleteLink, {nURL}, why) && exec(Sql::kDeleteLinkInfo, {number}, why)
            && exec(Sql::kDeleteChecks, {number}, why) && exec(Sql::kDeleteLinkTags, {number}, why);
    });
}

bool groups(QList<GroupRecord> &out, QString *error)
{
    QString why;
    const Sql::Rows rows = Sql::query(st(Sql::kGroups), &why);
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    out.clear();
    for (const QVariantList &g : rows)
        out.append({g.value(0).toLongLong(), g.value(1).toString(), g.value(2).toDouble()});
    return true;
}

namespace {

bool readGroups(const char *sql, const GroupFn &each, QString *error)
{
    GroupView v;
    return Sql::forEachUtf8(
        st(sql),
        [&](const Sql::TextRow &r) { // nGrp, sGrp, gSrt
            v.nGrp = r.integer(0);
            v.nGrpText = r.text(0);
            v.sGrp = r.text(1);
            v.gSrt = r.number(2);
            v.hasSort = !r.text(2).isEmpty();
            each(v);
        },
        error);
}

} // namespace

bool forEachGroup(const GroupFn &each, QString *error)
{
    return readGroups(Sql::kListGroups, each, error);
}
bool forEachGridGroup(const GroupFn &each, QString *error)
{
    return readGroups(Sql::kGridGroups, each, error);
}

namespace {

bool readLinks(const Sql::Statement &s, const LinkFn &each, QString *error)
{
    LinkView v;
    char digits[24];
    return Sql::forEachUtf8(
        s,
        [&](const Sql::TextRow &r) { // nURL, sURL, nGrp, sNam, sMem, gSrt
            v.nURL = r.integer(0);
            // The number's text made here: the engine's costs an allocation a row.
            v.nURLText
                = QByteArrayView(digits, std::to_chars(digits, digits + sizeof digits, v.nURL).ptr);
            v.sURL = r.text(1);
            v.nGrp = r.integer(2);
            v.sNam = r.text(3);
            v.sMem = r.text(4);
            v.gSrt = r.number(5);
            v.hasSort = true;
            each(v);
        },
        error);
}

} // namespace

bool forEachLink(qint64 nGrp, const LinkFn &each, QString *error)
{
    return readLinks(nGrp > 0 ? st(Sql::kListLinksOfGroup, {nGrp}) : st(Sql::kListLinks), each,
                     error);
}

bool forEachFirstLink(qint64 nGrp, int limit, const LinkFn &each, QString *error)
{
    return readLinks(st(Sql::kFirstLinksOfGroup, {nGrp, limit}), each, error);
}

bool forEachLinkToExport(std::optional<qint64> nGrp, const LinkFn &each, QString *error)
{
    LinkView v;
    const Sql::Statement s
        = nGrp ? st(Sql::kExportLinksOfGroup, {*nGrp}) : st(Sql::kExportRootLinks);
    return Sql::forEachUtf8(
        s,
        [&](const Sql::TextRow &r) { // nURL, sURL, sNam, sMem, nAdded, sTags
            v.nURL = qint64(r.number(0));
            v.nURLText = r.text(0);
            v.sURL = r.text(1);
            v.sNam = r.text(2);
            v.sMem = r.text(3);
            v.added = r.text(4).isEmpty() ? 0 : qint64(r.number(4));
            v.sTags = r.text(5);
            each(v);
        },
        error);
}

bool linkCounts(QHash<qint64, qint64> &out, QString *error)
{
    out.clear();
    return Sql::forEachUtf8(
        st(Sql::kLinkCountsByGroup),
        [&](const Sql::TextRow &r) { out.insert(r.integer(0), r.integer(1)); }, error);
}

bool forEachLinkOfGroups(const QList<qint64> &groups, const LinkFn &each, QString *error)
{
    // The engine takes so many values at most; past that the walk hands over every link.
    constexpr qsizetype kMaxValues = 30000;
    return readLinks(groups.isEmpty() || groups.size() > kMaxValues
                         ? st(Sql::kAllLinksInOrder)
                         : st(Sql::kLinksOfGroups, {QVariant::fromValue(Sql::NumberList(groups))}),
                     each, error);
}

bool forEachAdded(const std::function<void(qint64, qint64)> &each, QString *error)
{
    return Sql::forEachUtf8(
        st(Sql::kLinkAddedInOrder),
        [&](const Sql::TextRow &r) { each(r.integer(0), r.integer(1)); }, error);
}

bool forEachRecentLink(int limit, const LinkFn &each, QString *error)
{
    LinkView v;
    const QString sql
        = QString::fromUtf8(Sql::kRecentLinks)
              .replace(QStringLiteral("Limit 50"), QStringLiteral("Limit %1").arg(limit));
    return Sql::forEachUtf8(
        Sql::SetPrm(sql, {}),
        [&](const Sql::TextRow &r) { // nURL, sURL, sGrp, sNam, sMem
            v.nURL = r.integer(0);
            v.nURLText = r.text(0);
            v.sURL = r.text(1);
            v.sGrp = r.text(2);
            v.sNam = r.text(3);
            v.sMem = r.text(4);
            each(v);
        },
        error);
}

bool forEachGridLink(const LinkFn &each, QString *error)
{
    LinkView v;
    return Sql::forEachUtf8(
        st(Sql::kGridLinks),
        [&](const Sql::TextRow &r) { // nURL, sNam, sGrp, gSrt, sURL
            v.nURL = r.integer(0);
            v.nURLText = r.text(0);
            v.sNam = r.text(1);
            v.sGrp = r.text(2);
            v.gSrt = r.number(3);
            v.hasSort = !r.text(3).isEmpty();
            v.sURL = r.text(4);
            each(v);
        },
        error);
}

bool forEachAddress(const std::function<void(qint64, const QString &)> &each, QString *error)
{
    return Sql::forEachUtf8(
        st(Sql::kAllLinksForImages),
        [&](const Sql::TextRow &r) { each(r.integer(0), QString::fromUtf8(r.text(1))); }, error);
}

bool linkNumbers(std::vector<qint64> &out, QString *error)
{
    out.clear();
    return Sql::forEachUtf8(
        st(Sql::kLinkNumbers), [&](const Sql::TextRow &r) { out.push_back(r.integer(0)); }, error);
}

bool addedDates(QHash<qint64, qint64> &out, QString *error)
{
    out.clear();
    return Sql::forEachUtf8(
        st(Sql::kLinkAddedDates),
        [&](const Sql::TextRow &r) {
            if (!r.text(1).isEmpty())
                out.insert(r.integer(0), r.integer(1));
        },
        error);
}

bool forEachTags(const std::function<void(qint64 nURL, QByteArrayView tags)> &each, QString *error)
{
    return Sql::forEachUtf8(
        st(Sql::kLinkTags),
        [&](const Sql::TextRow &r) {
            if (!r.text(1).isEmpty())
                each(r.integer(0), r.text(1));
        },
        error);
}

ImportResult importLinks(const QList<GroupRecord> &newGroups, const QList<DatedLink> &links,
                         const ProgressFn &progress, QString *error,
                         const QHash<qint64, QString> &tagsOf)
{
    bool cancelled = false;
    // The address index grows in no particular order: with the engine's small default page
    // cache a large import writes and rereads the same pages many times over. The cache takes
    // only what the import needs, up to 64 MB, and is set back afterwards.
    const QVariant cache = Sql::query(st("PRAGMA cache_size")).value(0).value(0);
    exec("PRAGMA cache_size = -65536", {}, nullptr);
    const auto restoreCache = qScopeGuard([&] {
        if (cache.isValid())
            Sql::exec(Sql::SetPrm(QStringLiteral("PRAGMA cache_size = %1").arg(cache.toInt()), {}));
    });
    const bool written = inTransaction(error, [&](QString *why) {
        // One parse per statement for the whole import.
        Sql::Prepared group(Sql::kInsertGroup), link(Sql::kInsertLink), date(Sql::kSetLinkAdded),
            tags(Sql::kSetLinkTags);
        for (const GroupRecord &g : newGroups) {
            group.bindInt(0, g.nGrp);
            group.bindText(1, g.sGrp);
            group.bindReal(2, g.gSrt);
            if (!group.run(why))
                return false;
        }
        if (links.isEmpty())
            return true;
        // A date left behind under one of the new numbers must not become an undated link's.
        qint64 lowest = links.first().link.nURL, highest = lowest;
        for (const DatedLink &d : links) {
            lowest = qMin(lowest, d.link.nURL);
            highest = qMax(highest, d.link.nURL);
        }
        if (!exec(Sql::kDeleteLinkInfoBetween, {lowest, highest}, why)
            || !exec(Sql::kDeleteLinkTagsBetween, {lowest, highest}, why))
            return false;
        const qsizetype total = links.size();
        const qsizetype step = qMax<qsizetype>(1, total / 200);
        for (qsizetype i = 0; i < total; ++i) {
            const LinkRecord &l = links[i].link;
            link.bindInt(0, l.nURL);
            link.bindText(1, l.sURL);
            link.bindInt(2, l.nGrp);
            link.bindText(3, l.sNam);
            link.bindText(4, l.sMem);
            link.bindReal(5, l.gSrt);
            if (!link.run(why))
                return false;
            if (links[i].added > 0) {
                date.bindInt(0, l.nURL);
                date.bindInt(1, links[i].added);
                if (!date.run(why))
                    return false;
            }
            const auto t = tagsOf.constFind(l.nURL);
            if (t != tagsOf.constEnd()) {
                tags.bindInt(0, l.nURL);
                tags.bindText(1, *t);
                if (!tags.run(why))
                    return false;
            }
            if (progress && ((i + 1) % step == 0 || i + 1 == total) && !progress(i + 1, total)) {
                cancelled = true;
                return false;
            }
        }
        return true;
    });
    if (written)
        return ImportResult::Written;
    if (cancelled && error)
        error->clear();
    return cancelled ? ImportResult::Cancelled : ImportResult::Failed;
}

bool recordChecks(const QList<CheckRecord> &checks, QString *error)
{
    return inTransaction(error, [&](QString *why) {
        for (const CheckRecord &c : checks) {
            if (!exec(Sql::kAddCheck,
                      {c.nURL, c.at, c.verdict, c.status, c.finalAddress, c.movedTo}, why))
                return false;
        }
        return true;
    });
}

bool lastChecks(qint64 nURL, QList<CheckRecord> &out, QString *error)
{
    out.clear();
    return Sql::forEachUtf8(
        st(Sql::kLastChecks, {nURL, nURL}),
        [&](const Sql::TextRow &r) { // nAt, nVerdict, nStatus, sFinal, sMoved
            out.append({nURL, r.integer(0), int(r.number(1)), int(r.number(2)),
                        QString::fromUtf8(r.text(3)), QString::fromUtf8(r.text(4))});
        },
        error);
}

bool forEachCheck(const std::function<void(const CheckRecord &)> &each, QString *error)
{
    CheckRecord c;
    return Sql::forEachUtf8(
        st(Sql::kAllChecks, {}),
        [&](const Sql::TextRow &r) { // nURL, nAt, nVerdict, sMoved
            c.nURL = r.integer(0);
            c.at = r.integer(1);
            c.verdict = int(r.number(2));
            c.movedTo = r.text(3).isEmpty() ? QString() : QString::fromUtf8(r.text(3));
            each(c);
        },
        error);
}

bool applyMaintenance(const MaintenanceChanges &c, QString *error)
{
    return inTransaction(error, [&](QString *why) {
        for (const GroupRecord &g : c.updatedGroups) {
            if (!exec(Sql::kUpdateGroup, {g.sGrp, g.gSrt, g.nGrp}, why))
                return false;
        }
        for (const GroupRecord &g : c.newGroups) {
            qint64 n = 0;
            if (!nextGroupNumber(n, why) || !exec(Sql::kInsertGroup, {n, g.sGrp, g.gSrt}, why))
                return false;
        }
        for (const GroupRecord &g : c.movedGroups) {
            if (!exec(Sql::kRenameGroup, {g.sGrp, g.nGrp}, why))
                return false;
        }
        QList<qint64> joined;
        for (const auto &[from, into] : c.joinedGroups) {
            if (!exec(Sql::kJoinGroup, {into, from}, why))
                return false;
            joined.append(from);
        }
        if (!execForNumbers(Sql::kDeleteGroups, joined, why)
            || !execForNumbers(Sql::kMoveLinksOfGroups, c.deletedGroups, why)
            || !execForNumbers(Sql::kDeleteGroups, c.deletedGroups, why))
            return false;
        for (const LinkRecord &l : c.updatedLinks) {
            if (!exec(Sql::kUpdateGridLink, {l.sNam, l.nGrp, l.gSrt, l.nURL}, why))
                return false;
            if (!l.sURL.isEmpty() && !exec(Sql::kUpdateLinkAddress, {l.sURL, l.nURL, l.sURL}, why))
                return false;
        }
        return execForNumbers(Sql::kDeleteLinks, c.deletedLinks, why)
            && execForNumbers(Sql::kDeleteLinkInfo, c.deletedLinks, why)
            && execForNumbers(Sql::kDeleteChecks, c.deletedLinks, why)
            && execForNumbers(Sql::kDeleteLinkTags, c.deletedLinks, why);
    });
}

bool reset(const QString &groupZeroName, QString *error)
{
    return inTransaction(error, [&](QString *why) {
        return exec(Sql::kDeleteAllGroups, {}, why) && exec(Sql::kDeleteAllLinks, {}, why)
            && exec(Sql::kDeleteAllLinkInfo, {}, why) && exec(Sql::kDeleteAllChecks, {}, why)
            && exec(Sql::kDeleteAllLinkTags, {}, why)
            && exec(Sql::kInsertGroupZero, {groupZeroName}, why);
    });
}

} // namespace LinkStore
