// The local wall clock and plain waiting, behind one seam so that tests can set "now".
#pragma once

#include <chrono>
#include <functional>

namespace zelquo {

// Local time of day in minutes after midnight (hours * 60 + minutes), 0 to 1439.
using MinuteOfDayClock = std::function<int()>;

namespace platform {

[[nodiscard]] int LocalMinuteOfDay();
void SleepFor(std::chrono::milliseconds duration);

}  // namespace platform

// The production clock.
inline MinuteOfDayClock SystemMinuteOfDayClock() { return &platform::LocalMinuteOfDay; }

}  // namespace zelquo
