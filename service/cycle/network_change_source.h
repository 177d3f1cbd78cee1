// The system's news that an address or a route changed: netlink's address and route groups on
// Linux, the IP helper's change notifications on Windows. Only "something changed" is passed
// on; whether the address that matters changed is the next pass's change check to find out.
#pragma once

#include <chrono>
#include <memory>

namespace zelquo {

enum class NetworkNews {
  kChanged,  // some change was reported (all news so far is taken)
  kQuiet,    // the time-out passed without news
  kEnded,    // Stop was called, or the source failed for good
};

class CNetworkChangeSource {
 public:
  virtual ~CNetworkChangeSource() = default;
  // Waits at most timeout for news of a change.
  [[nodiscard]] virtual NetworkNews WaitForChange(std::chrono::milliseconds timeout) = 0;
  // Ends a wait under way and every later one; safe from any thread.
  virtual void Stop() = 0;
};

// The system's source, or nullptr when the system refuses one (the passes then only poll).
[[nodiscard]] std::unique_ptr<CNetworkChangeSource> OpenNetworkChangeSource();

}  // namespace zelquo
