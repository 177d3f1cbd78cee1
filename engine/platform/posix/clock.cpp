#include "platform/clock.h"

#include <ctime>
#include <thread>

namespace zelquo::platform {

int LocalMinuteOfDay() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_hour * 60 + local.tm_min;
}

void SleepFor(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

}  // namespace zelquo::platform
