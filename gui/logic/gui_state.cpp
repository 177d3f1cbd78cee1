#include "gui_state.h"

#include <thread>

#include "activity_log.h"

namespace zelquo::gui {

CGuiState::CGuiState(LocalClock local_clock, Sleep sleep)
    : local_clock_(std::move(local_clock)), sleep_(std::move(sleep)) {}

CGuiState::LocalClock CGuiState::SystemLocalTime() {
  return [] {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (const std::tm* converted = std::localtime(&now)) local = *converted;
    return local;
  };
}

CGuiState::Sleep CGuiState::RealSleep() {
  return [](std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); };
}

void CGuiState::LogActivity(std::string_view text) {
  const std::string entry = FormatActivityEntry(local_clock_(), text);
  const std::lock_guard lock(texts_lock_);
  PrependActivityEntry(activity_log_, entry);
}

void CGuiState::SetStatusText(std::string_view text) {
  const std::lock_guard lock(texts_lock_);
  status_text_ = text;
}

std::string CGuiState::ActivityLog() const {
  const std::lock_guard lock(texts_lock_);
  return activity_log_;
}

std::string CGuiState::StatusText() const {
  const std::lock_guard lock(texts_lock_);
  return status_text_;
}

void WriteFreshUpdateKeys(const CSettingsFile& settings) {
  settings.Write(keys::kCheckMinutes, 0);
  settings.Write(keys::kUpdatedMinutes, 0);
  settings.Write(keys::kUpdatedIp, "");
}

void CGuiState::RequestFreshUpdate(const CSettingsFile& settings) {
  WriteFreshUpdateKeys(settings);
  wake_flag_.store(0);
}

void CGuiState::WaitForWakeUp(int seconds) {
  using namespace std::chrono_literals;
  for (int step = 0; step < seconds; ++step) {
    if (wake_flag_.exchange(1) == 0) return;
    sleep_(1000ms);
  }
}

}  // namespace zelquo::gui
