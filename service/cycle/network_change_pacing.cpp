#include "cycle/network_change_pacing.h"

#include <algorithm>

namespace zelquo {

void CNetworkChangePacing::NoteChange(Clock::time_point now) {
  if (!burst_began_) burst_began_ = now;
}

std::optional<CNetworkChangePacing::Clock::time_point> CNetworkChangePacing::WakeDue() const {
  if (!burst_began_) return std::nullopt;
  const Clock::time_point settled = *burst_began_ + kSettle;
  return last_wake_ ? std::max(settled, *last_wake_ + kMinimumGap) : settled;
}

bool CNetworkChangePacing::TakeWake(Clock::time_point now) {
  const auto due = WakeDue();
  if (!due || now < *due) return false;
  burst_began_.reset();
  last_wake_ = now;
  return true;
}

}  // namespace zelquo
