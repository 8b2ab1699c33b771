#pragma once

#include <functional>

namespace EventWait {

// Lets pending events run, pass by pass, until done() is true or the pass limit is exceeded.
// Each pass waits up to a millisecond for events instead of spinning. Returns done().
bool passes(int limit, const std::function<bool()> &done);

// The same, bounded by time instead of passes: at most ms milliseconds on the monotonic clock.
bool forMs(int ms, const std::function<bool()> &done);

// One pass: let pending events run once.
void once();

} // namespace EventWait
