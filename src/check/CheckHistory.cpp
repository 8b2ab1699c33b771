#include "CheckHistory.h"

#include "store/LinkStore.h"

#include <QCoreApplication>

namespace CheckHistory {
namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(CheckHistory)
};

LinkResult::Verdict verdictOf(int v)
{
    switch (v) {
    case CheckRecord::Alive: return LinkResult::Verdict::Alive;
    case CheckRecord::Uncertain: return LinkResult::Verdict::Uncertain;
    default: return LinkResult::Verdict::Dead;
    }
}

} // namespace

CheckRecord record(qint64 nURL, const LinkResult &r)
{
    CheckRecord c;
    c.nURL = nURL;
    c.at = r.checkedAt.isValid() ? r.checkedAt.toSecsSinceEpoch()
                                 : QDateTime::currentSecsSinceEpoch();
    c.verdict = r.verdict == LinkResult::Verdict::Alive ? CheckRecord::Alive
        : r.verdict == LinkResult::Verdict::Uncertain   ? CheckRecord::Uncertain
                                                        : CheckRecord::Dead;
    c.status = r.status;
    c.finalAddress = r.finalAddress;
    c.movedTo = r.movedTo;
    return c;
}

DeadRun deadRun(const QList<CheckRecord> &newestFirst)
{
    DeadRun run;
    for (const CheckRecord &c : newestFirst) {
        if (c.verdict != CheckRecord::Dead)
            break;
        if (run.count++ == 0)
            run.latest = c.at;
        run.since = c.at;
    }
    return run;
}

QString mark(const CheckRecord &latest, const DeadRun &run)
{
    switch (latest.verdict) {
    case CheckRecord::Alive:
        return latest.movedTo.isEmpty() ? QStringLiteral("◎") : QStringLiteral("→");
    case CheckRecord::Uncertain: return QStringLiteral("△");
    default: return run.lasting() ? QStringLiteral("××") : QStringLiteral("×");
    }
}

QString mark(const QList<CheckRecord> &newestFirst)
{
    return newestFirst.isEmpty() ? QString() : mark(newestFirst.first(), deadRun(newestFirst));
}

void Latest::add(const CheckRecord &c)
{
    if (c.verdict != CheckRecord::Dead)
        run = {};
    else if (run.count++ == 0)
        run.since = c.at;
    if (c.verdict == CheckRecord::Dead)
        run.latest = c.at;
    last = c;
}

bool readLatest(QHash<qint64, Latest> &out, QString *error)
{
    out.clear();
    return LinkStore::forEachCheck([&](const CheckRecord &c) { out[c.nURL].add(c); }, error);
}

bool isDeadMark(const QString &mark)
{
    return mark == u"×" || mark == u"××";
}

QString timeText(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs).toLocalTime().toString(
        QStringLiteral("yyyy/MM/dd HH:mm"));
}

QString toolTip(const QList<CheckRecord> &newestFirst, const QString &address,
                const QString &movedTo)
{
    if (newestFirst.isEmpty() && movedTo.isEmpty())
        return {};
    QStringList lines {QStringLiteral("URL: ") + address};
    if (!newestFirst.isEmpty()) {
        const CheckRecord &last = newestFirst.first();
        QString status = last.status ? QString::number(last.status) : Tr::tr("応答なし");
        lines << Tr::tr("最終ﾁｪｯｸ: %1  %2  %3")
                     .arg(timeText(last.at), LinkResult::mark(verdictOf(last.verdict)), status);
        if (!last.finalAddress.isEmpty())
            lines << Tr::tr("最終URL: %1").arg(last.finalAddress);
        const DeadRun run = deadRun(newestFirst);
        if (run.count > 0)
            lines << Tr::tr("ﾘﾝｸ切れ: %n回連続 (%1 から)", nullptr, run.count)
                         .arg(timeText(run.since));
    }
    if (!movedTo.isEmpty())
        lines << Tr::tr("移転先: %1").arg(movedTo);
    // Addresses are text, never markup.
    for (QString &l : lines)
        l = l.toHtmlEscaped();
    return QStringLiteral("<p style='white-space:pre'>") + lines.join(QStringLiteral("<br>"))
        + QStringLiteral("</p>");
}

} // namespace CheckHistory
