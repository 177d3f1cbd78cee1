// What the update thread reports and the windows show: the activity log and the status text
// (one lock for both, writers and readers), and the wake flag that ends the update thread's wait
// between passes. Safe to use from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "settings/settings.h"

namespace zelquo::gui {

// Makes the change check answer "update" at the next pass: "checkminutes" and "updatedminutes" 0,
// "updatedip" empty.
void WriteFreshUpdateKeys(const CSettingsFile& settings);

class CGuiState {
 public:
  using LocalClock = std::function<std::tm()>;
  using Sleep = std::function<void(std::chrono::milliseconds)>;

  // Seams with the production defaults: the local time of entries and the one-second sleep.
  explicit CGuiState(LocalClock local_clock = SystemLocalTime(), Sleep sleep = RealSleep());

  void LogActivity(std::string_view text);
  void SetStatusText(std::string_view text);
  [[nodiscard]] std::string ActivityLog() const;
  [[nodiscard]] std::string StatusText() const;

  // Writes the fresh-update keys and ends the update thread's current wait within a second.
  void RequestFreshUpdate(const CSettingsFile& settings);
  // Sleeps in one-second steps, at most `seconds` of them, while the wake flag is set; a cleared
  // flag is set again and the wait returns at once.
  void WaitForWakeUp(int seconds);
  // Ends the wait under way (or the next one) without asking for a fresh update: the pass that
  // follows is an ordinary one.
  void WakeUp() { wake_flag_.store(0); }

  [[nodiscard]] static LocalClock SystemLocalTime();
  [[nodiscard]] static Sleep RealSleep();

 private:
  LocalClock local_clock_;
  Sleep sleep_;
  mutable std::mutex texts_lock_;
  std::string activity_log_;
  std::string status_text_;
  std::atomic<std::uint8_t> wake_flag_{1};
};

}  // namespace zelquo::gui
