// When news of network changes ends the wait between passes: bursts settle for two seconds and
// wake-ups come at most every 30 seconds, on a clock that the fake source itself moves on.
#include "cycle/network_change_waker.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace zelquo {
namespace {

using namespace std::chrono_literals;
using Clock = CNetworkChangePacing::Clock;

// Reports changes at the given times (ms after the start); ends once none is left and nothing
// is pending.
class CScriptedSource final : public CNetworkChangeSource {
 public:
  CScriptedSource(std::deque<long> changes, Clock::time_point& now) : changes_(std::move(changes)), now_(now) {}

  NetworkNews WaitForChange(std::chrono::milliseconds timeout) override {
    if (!changes_.empty() && Clock::time_point(std::chrono::milliseconds(changes_.front())) <= now_ + timeout) {
      now_ = std::max(now_, Clock::time_point(std::chrono::milliseconds(changes_.front())));
      changes_.pop_front();
      return NetworkNews::kChanged;
    }
    if (changes_.empty() && timeout >= 1h) return NetworkNews::kEnded;
    now_ += timeout;
    return NetworkNews::kQuiet;
  }
  void Stop() override {}

 private:
  std::deque<long> changes_;
  Clock::time_point& now_;
};

std::vector<long> WakesFor(std::deque<long> changes) {
  Clock::time_point now{};
  std::vector<long> wakes;
  {
    const CNetworkChangeWaker waker(
        std::make_unique<CScriptedSource>(std::move(changes), now),
        [&] { wakes.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count()); },
        [&] { return now; });
  }  // the listener ends with its script
  return wakes;
}

TEST(NetworkChangeWaker, SettlesBurstsAndWakesAtMostEvery30Seconds) {
  std::deque<long> flapping;
  for (long t = 0; t < 60000; t += 100) flapping.push_back(t);
  const struct {
    const char* what;
    std::deque<long> changes;
    std::vector<long> wakes;
  } cases[] = {
      {"one change", {5000}, {7000}},
      {"a burst is one wake-up, two seconds after its first change", {0, 300, 1900, 1999}, {2000}},
      {"a change after the settling starts the next burst", {0, 2500}, {2000, 32000}},
      {"a change long after the last wake-up", {0, 40000}, {2000, 42000}},
      {"a link flapping every 100 ms for a minute", flapping, {2000, 32000, 62000}},
  };
  for (const auto& c : cases) EXPECT_EQ(WakesFor(c.changes), c.wakes) << c.what;
}

TEST(NetworkChangeWaker, WithoutASourceNothingListens) {
  const CNetworkChangeWaker waker(nullptr, [] { FAIL(); });
  EXPECT_FALSE(waker.Listening());
}

}  // namespace
}  // namespace zelquo
