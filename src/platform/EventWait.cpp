#include "EventWait.h"

#include "platform/Clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace EventWait {

void once()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool passes(int limit, const std::function<bool()> &done)
{
    QEventLoop loop;
    QTimer tick; // wakes a blocked pass after at most a millisecond
    tick.setInterval(1);
    tick.start();
    for (int pass = 0; pass < limit; ++pass) {
        if (done())
            return true;
        loop.processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return done();
}

bool forMs(int ms, const std::function<bool()> &done)
{
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(1);
    tick.start();
    const qint64 end = Clock::monotonicMs() + ms;
    while (!done() && Clock::monotonicMs() < end)
        loop.processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return done();
}

} // namespace EventWait
