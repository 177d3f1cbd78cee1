#include "cycle/keep_running_flag.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace zelquo {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(KeepRunningFlag, AWaitEndsAtOnceWhenTheFlagIsCleared) {
  CKeepRunningFlag flag;
  CKeepRunningWait wait(flag);
  std::thread stopper([&] {
    std::this_thread::sleep_for(100ms);
    flag.Clear();
  });
  const auto start = Clock::now();
  wait.Wait(60);
  const auto waited = Clock::now() - start;
  stopper.join();
  EXPECT_FALSE(flag.IsSet());
  EXPECT_LT(waited, 1s);
  // Nothing sets the flag again: later waits return at once.
  const auto again = Clock::now();
  wait.Wait(60);
  EXPECT_LT(Clock::now() - again, 100ms);
}

TEST(KeepRunningFlag, WaitsTheWholeIntervalWhileSet) {
  CKeepRunningFlag flag;
  const auto start = Clock::now();
  EXPECT_TRUE(flag.WaitWhileSet(150ms));
  EXPECT_GE(Clock::now() - start, 150ms);
}

TEST(KeepRunningFlag, ZeroOrNegativeSecondsDoNotWait) {
  CKeepRunningFlag flag;
  CKeepRunningWait wait(flag);
  const auto start = Clock::now();
  wait.Wait(0);
  wait.Wait(-5);
  EXPECT_LT(Clock::now() - start, 100ms);
  EXPECT_TRUE(flag.IsSet());
}

}  // namespace
}  // namespace zelquo
