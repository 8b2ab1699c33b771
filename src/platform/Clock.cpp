#include "Clock.h"

#include <QElapsedTimer>

namespace Clock {
namespace {

std::function<qint64()> &source()
{
    static std::function<qint64()> s;
    return s;
}

} // namespace

qint64 monotonicMs()
{
    if (source())
        return source()();
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

void setSource(std::function<qint64()> s)
{
    source() = std::move(s);
}

} // namespace Clock
