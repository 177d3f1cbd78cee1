// When the system's news of an address or route change should end the wait between passes.
// Changes come in bursts (an address removed, another added, routes following), so a wake-up
// waits kSettle after the first change of a burst and every change until then joins it; and
// at most one wake-up comes per kMinimumGap, so that a flapping link cannot make a pass (and an
// IP check) every few seconds. Plain time arithmetic: the caller supplies "now".
#pragma once

#include <chrono>
#include <optional>

namespace zelquo {

class CNetworkChangePacing {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kSettle{2000};
  static constexpr std::chrono::seconds kMinimumGap{30};

  // A change was reported at now.
  void NoteChange(Clock::time_point now);
  // When the pending wake-up is due, or nullopt when none is pending.
  [[nodiscard]] std::optional<Clock::time_point> WakeDue() const;
  // True (and the wake-up taken) when one is pending and due at now.
  [[nodiscard]] bool TakeWake(Clock::time_point now);

 private:
  std::optional<Clock::time_point> burst_began_;
  std::optional<Clock::time_point> last_wake_;
};

}  // namespace zelquo
