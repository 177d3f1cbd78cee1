// The bounded name look-up: a resolver that never answers, through the seam that replaces
// getaddrinfo, and for real in the namespace of tests/netns/http-tests.sh whose resolver is an
// address that swallows every query (ZELQUO_NETNS=silent-resolver).
#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "detection/ip_check_servers.h"
#include "http/http_get_line.h"
#include "netns_scenario.h"
#include "platform/posix/name_lookup.h"
#include "platform/posix/stop_request.h"

namespace zelquo::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using detail::CNameLookups;
using detail::kMaxPendingLookups;

int ThreadCount() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
  }
  return -1;
}

bool WaitFor(const auto& condition) {
  for (int i = 0; i < 500 && !condition(); ++i) std::this_thread::sleep_for(10ms);
  return condition();
}

// Names beginning "hung" wait until the gate opens; every name then resolves to 127.0.0.1.
struct FakeResolver {
  std::mutex mutex;
  std::condition_variable opened;
  bool open = false;
  int calls = 0;
  std::size_t stack_size = 0;
} fake;

int FakeGetAddrInfo(const char* host, const char* service, const addrinfo*, addrinfo** found) {
  pthread_attr_t attributes;
  std::size_t stack_size = 0;
  if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
    pthread_attr_getstacksize(&attributes, &stack_size);
    pthread_attr_destroy(&attributes);
  }
  {
    std::unique_lock lock(fake.mutex);
    ++fake.calls;
    fake.stack_size = stack_size;
    if (std::string_view(host).starts_with("hung")) fake.opened.wait(lock, [] { return fake.open; });
  }
  addrinfo hints{};
  hints.ai_flags = AI_NUMERICHOST;
  hints.ai_socktype = SOCK_STREAM;
  return getaddrinfo("127.0.0.1", service, &hints, found);
}

class NameLookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::lock_guard lock(fake.mutex);
    fake.open = false;
    fake.calls = 0;
  }
  void TearDown() override {
    {
      const std::lock_guard lock(fake.mutex);
      fake.open = true;
    }
    fake.opened.notify_all();
    EXPECT_TRUE(WaitFor([&] { return lookups_.Pending() == 0; })) << "the look-up threads finish once answered";
  }

  CNameLookups lookups_{kMaxPendingLookups, &FakeGetAddrInfo};
};

TEST_F(NameLookupTest, AHungResolverHoldsNoMoreThreadsThanTheCap) {
  std::thread([] {}).join();  // a sanitizer's own thread, started with the first one, is there now
  const int base = ThreadCount();
  for (int attempt = 0; attempt < 50; ++attempt) {
    EXPECT_TRUE(lookups_.LookUp("hung.example", Clock::now() + 2ms).empty());
  }
  EXPECT_EQ(lookups_.Pending(), 1U) << "every attempt for the name waits on its one look-up";
  EXPECT_LE(ThreadCount(), base + 1);
  EXPECT_EQ(lookups_.LookUp("works.example", Clock::now() + 5s).size(), 1U) << "another name still resolves";
  EXPECT_GT(fake.stack_size, 0U);
  // ThreadSanitizer adds the size of its thread-local block to every stack it is asked for.
  EXPECT_LT(fake.stack_size, 1024U * 1024U) << "look-up threads get a small stack, far below the default";

  for (int attempt = 0; attempt < 50; ++attempt) {
    EXPECT_TRUE(lookups_.LookUp("hung-" + std::to_string(attempt) + ".example", Clock::now() + 2ms).empty());
  }
  EXPECT_EQ(lookups_.Pending(), kMaxPendingLookups);
  EXPECT_LE(ThreadCount(), base + static_cast<int>(kMaxPendingLookups));
  const auto asked = Clock::now();
  EXPECT_TRUE(lookups_.LookUp("works.example", asked + 5s).empty());
  EXPECT_LT(Clock::now() - asked, 1s) << "with the cap reached a new name fails at once";
  const std::lock_guard lock(fake.mutex);
  EXPECT_EQ(fake.calls, static_cast<int>(kMaxPendingLookups) + 1);
}

TEST_F(NameLookupTest, CallersOfOneNameShareItsLookUpAndItsAnswer) {
  std::size_t found[2] = {};
  std::thread first([&] { found[0] = lookups_.LookUp("hung.example", Clock::now() + 10s).size(); });
  std::thread second([&] { found[1] = lookups_.LookUp("hung.example", Clock::now() + 10s).size(); });
  std::this_thread::sleep_for(100ms);
  {
    const std::lock_guard lock(fake.mutex);
    fake.open = true;
  }
  fake.opened.notify_all();
  first.join();
  second.join();
  EXPECT_EQ(found[0], 1U);
  EXPECT_EQ(found[1], 1U);
  const std::lock_guard lock(fake.mutex);
  EXPECT_EQ(fake.calls, 1);
}

// A stop ends a caller's wait at once, as its deadline would.
TEST_F(NameLookupTest, AStopEndsTheWait) {
  RequestStop();
  const auto asked = Clock::now();
  EXPECT_TRUE(lookups_.LookUp("hung.example", asked + 10s).empty());
  EXPECT_LT(Clock::now() - asked, 1s);
  detail::WithdrawStopRequestForTest();
}

// The namespace's resolver is an address behind a veth pair that answers no query.
TEST(NameLookupNetnsTest, ASilentResolverBoundsTheWaitAndTheThreads) {
  if (!testing::InNetnsScenario("silent-resolver")) {
    GTEST_SKIP() << "runs inside the namespace of tests/netns/http-tests.sh (ZELQUO_NETNS=silent-resolver)";
  }
  // The hosts file names it: found at once, and kept for a while.
  EXPECT_FALSE(LookUpHost("ip1.zelquo.net", Clock::now() + 2s).empty());

  auto asked = Clock::now();
  EXPECT_EQ(QueryIpCheckFrom("127.0.0.1", {"ipcheck.zelquo.invalid", 8245}, 1s), "abort");
  EXPECT_LT(Clock::now() - asked, 3s) << "the raw IP check's look-up ends within its time-out";

  const int base = ThreadCount();
  for (int attempt = 0; attempt < 12; ++attempt) {
    asked = Clock::now();
    const std::string url = "http://hung-" + std::to_string(attempt % 6) + ".zelquo.invalid/ipcheck.asp";
    EXPECT_EQ(HttpGetLine(url, 80, 300ms), kErrorServerError);
    EXPECT_LT(Clock::now() - asked, 2s);
  }
  EXPECT_LE(ThreadCount(), base + static_cast<int>(kMaxPendingLookups));
  EXPECT_FALSE(LookUpHost("ip1.zelquo.net", Clock::now() + 2s).empty()) << "a name found before still is";
  EXPECT_FALSE(LookUpHost("127.0.0.1", Clock::now() + 2s).empty());
}

}  // namespace
}  // namespace zelquo::platform
