#pragma once

#include "check/LinkResult.h"
#include "store/Records.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

// What the link check's history says about a link: how many checks in a row found it dead and
// since when. A link dead in one check, or in checks less than a day apart, may be a passing
// outage ("×"); dead in several checks at least a day apart it is lastingly dead ("××").
// A page that moved for good (301, 308) and answers at its new address is "→".
namespace CheckHistory {

inline constexpr qint64 kLastingSecs = 24 * 60 * 60;

struct DeadRun
{
    int count = 0; // the latest checks that found the link dead, in a row
    qint64 since = 0; // the first of them (seconds since 1970); 0 without any
    qint64 latest = 0; // the last of them
    // Several dead checks, the first and the last at least a day apart.
    bool lasting() const { return count >= 2 && latest - since >= kLastingSecs; }
};

// The history's record of a result.
CheckRecord record(qint64 nURL, const LinkResult &result);
// The dead run at the head of a link's checks, newest first: any check that did not find the
// link dead (alive or uncertain) ends it.
DeadRun deadRun(const QList<CheckRecord> &newestFirst);
// The mark of a link's latest check: "→" alive at the address a 301/308 led to, "◎" alive,
// "△" uncertain, "×" dead, "××" dead in a lasting dead run. Empty when never checked.
QString mark(const CheckRecord &latest, const DeadRun &run);
QString mark(const QList<CheckRecord> &newestFirst);

// What a grid shows of one link's checks, folded from its history oldest first.
struct Latest
{
    CheckRecord last;
    DeadRun run;
    void add(const CheckRecord &check);
    QString mark() const { return CheckHistory::mark(last, run); }
};
// The latest check of every checked link, by number, from the store.
bool readLatest(QHash<qint64, Latest> &out, QString *error = nullptr);

// "×" and "××": the rows "ﾘﾝｸ切れを削除" takes.
bool isDeadMark(const QString &mark);
// The tooltip of a checked link (rich text): its address, the latest check (time, verdict,
// status, final address), the dead run, and where the page has moved (movedTo, when known).
// Empty when the link was never checked and nothing has moved.
QString toolTip(const QList<CheckRecord> &newestFirst, const QString &address,
                const QString &movedTo);
// Local time as the tooltip shows it: "2026/12/07 14:30".
QString timeText(qint64 secs);

} // namespace CheckHistory
