#include "cycle/network_change_waker.h"

#include <algorithm>

namespace zelquo {
namespace {

// How long the listener waits when no wake-up is pending: only a stop or a change ends it.
constexpr std::chrono::hours kIdleWait{1};

}  // namespace

CNetworkChangeWaker::CNetworkChangeWaker(std::unique_ptr<CNetworkChangeSource> source, std::function<void()> wake,
                                         Clock clock)
    : source_(std::move(source)), wake_(std::move(wake)), clock_(std::move(clock)) {
  if (source_) listener_ = std::thread(&CNetworkChangeWaker::Listen, this);
}

CNetworkChangeWaker::~CNetworkChangeWaker() {
  if (!listener_.joinable()) return;
  source_->Stop();
  listener_.join();
}

void CNetworkChangeWaker::Listen() {
  for (;;) {
    std::chrono::milliseconds timeout = kIdleWait;
    if (const auto due = pacing_.WakeDue()) {
      timeout = std::max(std::chrono::ceil<std::chrono::milliseconds>(*due - clock_()), std::chrono::milliseconds(0));
    }
    switch (source_->WaitForChange(timeout)) {
      case NetworkNews::kEnded: return;
      case NetworkNews::kChanged: pacing_.NoteChange(clock_()); break;
      case NetworkNews::kQuiet: break;
    }
    if (pacing_.TakeWake(clock_())) wake_();
  }
}

}  // namespace zelquo
