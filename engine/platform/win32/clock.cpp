#include "platform/clock.h"

#include <windows.h>

namespace zelquo::platform {

int LocalMinuteOfDay() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  return local.wHour * 60 + local.wMinute;
}

void SleepFor(std::chrono::milliseconds duration) { Sleep(static_cast<DWORD>(duration.count())); }

}  // namespace zelquo::platform
