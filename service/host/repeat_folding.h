// Keeps a log that stays quiet when the same thing keeps happening (a network that stays down):
// an entry is written the first time; the same entry again (same kind, id and text) is held
// back for an hour after it was last written; the first one after that hour is written with
// how many times it happened since, and starts the next hour. Entries are remembered per text,
// so two failures that alternate are each folded; the least recently written one is forgotten
// once kRemembered are held.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "host/update_log_entries.h"

namespace zelquo::service {

class CRepeatFolding {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  static constexpr std::chrono::hours kQuietTime{1};
  static constexpr std::size_t kRemembered = 32;

  explicit CRepeatFolding(Clock clock = &std::chrono::steady_clock::now) : clock_(std::move(clock)) {}

  // What to write for this occurrence of entry, or nullopt when it is held back.
  [[nodiscard]] std::optional<ServiceLogEntry> Admit(const ServiceLogEntry& entry);

 private:
  struct Written {
    ServiceLogEntry entry;
    std::chrono::steady_clock::time_point at;
    int held_back = 0;
  };

  Clock clock_;
  std::vector<Written> written_;
};

}  // namespace zelquo::service
