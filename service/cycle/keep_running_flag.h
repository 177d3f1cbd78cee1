// The service's keep-running flag: set while the service runs, cleared once for good by the stop
// control. Waiting on it ends at once when it is cleared, rather than at the next one-second tick.
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

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable cleared_;
  bool set_ = true;
};

// The service's poll-interval wait: the interval, cut short by a stop.
class CKeepRunningWait final : public PollIntervalWait {
 public:
  explicit CKeepRunningWait(const CKeepRunningFlag& flag) : flag_(flag) {}
  void Wait(int seconds) override;

 private:
  const CKeepRunningFlag& flag_;
};

}  // namespace zelquo
