#include "cycle/keep_running_flag.h"

namespace zelquo {

bool CKeepRunningFlag::IsSet() const {
  std::lock_guard lock(mutex_);
  return set_;
}

void CKeepRunningFlag::Clear() {
  {
    std::lock_guard lock(mutex_);
    set_ = false;
  }
  cleared_.notify_all();
}

bool CKeepRunningFlag::WaitWhileSet(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return !cleared_.wait_for(lock, timeout, [this] { return !set_; });
}

void CKeepRunningFlag::Wake() {
  {
    std::lock_guard lock(mutex_);
    wake_pending_ = true;
  }
  cleared_.notify_all();
}

bool CKeepRunningFlag::WaitWhileSetAndAsleep(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  cleared_.wait_for(lock, timeout, [this] { return !set_ || wake_pending_; });
  wake_pending_ = false;
  return set_;
}

void CKeepRunningWait::Wait(int seconds) {
  if (seconds <= 0) return;
  flag_.WaitWhileSetAndAsleep(std::chrono::seconds(seconds));
}

}  // namespace zelquo
