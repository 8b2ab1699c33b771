#include "CheckHistory.h"

namespace CheckHistory {
namespace {

LinkResult::Verdict verdictOf(int v)
{
    switch (v) {
    case CheckRecord::Alive:
        return LinkResult::Verdict::Alive;
    case CheckRecord::Uncertain:
        return LinkResult::Verdict::Uncertain;
    default:
        return LinkResult::Verdict::Dead;
    }
}

} // namespace

CheckRecord record(int nURL, const LinkResult &r)
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

QString mark(LinkResult::Verdict verdict, const DeadRun &run)
{
    if (verdict == LinkResult::Verdict::Dead && run.lasting())
        return QStringLiteral("××");
    return LinkResult::mark(verdict);
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
        QString status = last.status ? QString::number(last.status) : QStringLiteral("応答なし");
        lines << QStringLiteral("最終ﾁｪｯｸ: %1  %2  %3")
                     .arg(timeText(last.at), LinkResult::mark(verdictOf(last.verdict)), status);
        if (!last.finalAddress.isEmpty())
            lines << QStringLiteral("最終URL: ") + last.finalAddress;
        const DeadRun run = deadRun(newestFirst);
        if (run.count > 0)
            lines << QStringLiteral("ﾘﾝｸ切れ: %1回連続 (%2 から)")
                         .arg(run.count)
                         .arg(timeText(run.since));
    }
    if (!movedTo.isEmpty())
        lines << QStringLiteral("移転先: ") + movedTo;
    // Addresses are text, never markup.
    for (QString &l : lines)
        l = l.toHtmlEscaped();
    return QStringLiteral("<p style='white-space:pre'>") + lines.join(QStringLiteral("<br>"))
        + QStringLiteral("</p>");
}

} // namespace CheckHistory
