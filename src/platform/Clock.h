#pragma once

#include <QtGlobal>
#include <functional>

// Durations are measured on a monotonic clock; tests swap the source in one line.
namespace Clock {

qint64 monotonicMs();
void setSource(std::function<qint64()> source); // empty restores the real clock

} // namespace Clock
