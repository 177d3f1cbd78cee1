// The service's keep-running flag: set while the service runs, cleared once for good by the stop
// control. Waiting on it ends at once when it is cleared, rather than at the next one-second tick.
// It also carries the wake-up that ends one poll-interval wait early, for a fresh pass.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "cycle/poll_interval_wait.h"

namespace zelquo {

class CKeepRunningFlag {
 public:
  CKeepRunningFlag() = default;
  CKeepRunningFlag(const CKeepRunningFlag&) = delete;
  CKeepRunningFlag& operator=(const CKeepRunningFlag&) = delete;

  [[nodiscard]] bool IsSet() const;
  // Clears the flag and wakes every wait. Nothing sets it again.
  void Clear();
  // Returns after timeout, or as soon as the flag is clear. True when the flag is still set.
  bool WaitWhileSet(std::chrono::milliseconds timeout) const;

  // Ends the poll-interval wait under way, or the next one when none is: a wake-up that comes
  // during a pass is kept for the wait that follows it. Other waits do not see it.
  void Wake();
  // As WaitWhileSet, but also returns (true) when a wake-up is pending, which it takes.
  bool WaitWhileSetAndAsleep(std::chrono::milliseconds timeout);

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable cleared_;
  bool set_ = true;
  bool wake_pending_ = false;
};

// The service's poll-interval wait: the interval, cut short by a stop or a wake-up.
class CKeepRunningWait final : public PollIntervalWait {
 public:
  explicit CKeepRunningWait(CKeepRunningFlag& flag) : flag_(flag) {}
  void Wait(int seconds) override;

 private:
  CKeepRunningFlag& flag_;
};

}  // namespace zelquo
