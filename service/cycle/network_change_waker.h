// Ends the wait between passes soon after the system reports an address or route change: a
// thread of its own listens to a CNetworkChangeSource and calls wake as CNetworkChangePacing
// allows. The wake-up only ends a poll-interval wait; the pass that follows is an ordinary one.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "cycle/network_change_pacing.h"
#include "cycle/network_change_source.h"

namespace zelquo {

class CNetworkChangeWaker {
 public:
  using Clock = std::function<CNetworkChangePacing::Clock::time_point()>;

  // Starts listening when source is not null; wake is called on the listening thread.
  CNetworkChangeWaker(std::unique_ptr<CNetworkChangeSource> source, std::function<void()> wake,
                      Clock clock = &CNetworkChangePacing::Clock::now);
  ~CNetworkChangeWaker();
  CNetworkChangeWaker(const CNetworkChangeWaker&) = delete;
  CNetworkChangeWaker& operator=(const CNetworkChangeWaker&) = delete;

  [[nodiscard]] bool Listening() const { return listener_.joinable(); }

 private:
  void Listen();

  std::unique_ptr<CNetworkChangeSource> source_;
  std::function<void()> wake_;
  Clock clock_;
  CNetworkChangePacing pacing_;  // the listening thread's alone
  std::thread listener_;
};

}  // namespace zelquo
