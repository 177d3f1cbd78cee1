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

TEST(KeepRunningFlag, AWakeUpEndsOnePollIntervalWaitOnly) {
  CKeepRunningFlag flag;
  CKeepRunningWait wait(flag);
  std::thread waker([&] {
    std::this_thread::sleep_for(100ms);
    flag.Wake();
  });
  const auto start = Clock::now();
  wait.Wait(60);
  waker.join();
  EXPECT_LT(Clock::now() - start, 1s);

  // A wake-up during a pass is kept for the next wait, which it ends at once; other waits (a
  // maintenance pause, the stop's progress reports) sleep on.
  flag.Wake();
  const auto pause = Clock::now();
  EXPECT_TRUE(flag.WaitWhileSet(150ms));
  EXPECT_GE(Clock::now() - pause, 150ms);
  const auto next = Clock::now();
  EXPECT_TRUE(flag.WaitWhileSetAndAsleep(10s));
  EXPECT_LT(Clock::now() - next, 100ms);
  const auto after = Clock::now();
  EXPECT_TRUE(flag.WaitWhileSetAndAsleep(150ms));
  EXPECT_GE(Clock::now() - after, 150ms);
  EXPECT_TRUE(flag.IsSet());
}

}  // namespace
}  // namespace zelquo
