#include "activity_log.h"

#include <array>

namespace zelquo::gui {

std::string FormatActivityEntry(const std::tm& local_time, std::string_view text) {
  std::array<char, 32> clock{};
  const std::size_t length = std::strftime(clock.data(), clock.size(), "%I:%M:%S %p", &local_time);
  std::string entry(clock.data(), length);
  entry += '>';
  entry += text;
  entry += "\r\n";
  return entry;
}

void PrependActivityEntry(std::string& log, std::string_view entry) {
  log.insert(0, entry);
  while (log.size() > kActivityLogLimit) {
    std::size_t last_break = log.rfind('\n');
    if (last_break == std::string::npos) return;
    log.erase(last_break);
    last_break = log.rfind('\n');
    if (last_break == std::string::npos) {
      log.clear();
      return;
    }
    if (last_break + 1 == log.size()) return;
    log.erase(last_break + 1);
  }
}

}  // namespace zelquo::gui
