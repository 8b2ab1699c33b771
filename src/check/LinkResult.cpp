#include "LinkResult.h"

QString LinkResult::mark(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Alive: return QStringLiteral("◎");
    case Verdict::Dead: return QStringLiteral("×");
    case Verdict::Uncertain: return QStringLiteral("△");
    }
    return {};
}

QString LinkResult::mark() const
{
    return mark(verdict);
}

QString LinkResult::verdictName() const
{
    switch (verdict) {
    case Verdict::Alive: return QStringLiteral("alive");
    case Verdict::Dead: return QStringLiteral("dead");
    case Verdict::Uncertain: return QStringLiteral("uncertain");
    }
    return {};
}

QString LinkResult::timeText() const
{
    return timeText(elapsedMs);
}

QString LinkResult::timeText(qint64 elapsedMs)
{
    // Hundredths of a second, rounded, so the text needs no floating point: 350 ms -> "0.35".
    const qint64 hundredths = (qMax<qint64>(0, elapsedMs) + 5) / 10;
    return QString::number(hundredths / 100) + u'.'
        + QString::number(hundredths % 100).rightJustified(2, u'0');
}
