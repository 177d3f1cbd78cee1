// The IP-change check with a set clock, a scripted tracer and the stand-in IP-check server.
#include "change_check/ip_change_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "detection/local_addresses.h"
#include "standin_provider/standin_server.h"
#include "test_files.h"

namespace zelquo {
namespace {

using namespace std::chrono_literals;

constexpr char kAddress[] = "203.0.113.4";
constexpr char kTraceLog[] = "IP address found to be unchanged through trace route.";
constexpr char kServerLog[] = "IP address found to be unchanged through server side check.";
constexpr char kClientLog[] = "IP address found to be unchanged through client side check.";

std::uint32_t Address(const char* text) { return ParseDottedQuad(text).value(); }

struct TraceCall {
  std::string target;
  int max_hops;
  std::chrono::milliseconds timeout;
  int echoes_per_hop;
};

class ChangeCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = server_.Listen();
    server_.Start();
  }

  // The stored state of the last settled update and confirmation.
  void Store(std::string_view updated_ip, int updated_minutes, int check_minutes, int method) const {
    settings_.Write(keys::kUpdatedIp, updated_ip);
    settings_.Write(keys::kUpdatedMinutes, updated_minutes);
    settings_.Write(keys::kCheckMinutes, check_minutes);
    settings_.Write(keys::kIpMethod, method);
  }

  void ServerAnswers(std::string line) { server_.SetReply("/ipcheck.asp", standin::Text(std::move(line))); }

  // A trace whose hops are these addresses, each answered on every echo.
  void TraceAnswers(std::vector<const char*> hops) {
    trace_ = TraceResult{true, {}};
    for (const char* hop : hops) trace_.hops.push_back({0, Address(hop)});
  }

  [[nodiscard]] bool Check() {
    ChangeCheckContext context{settings_, [this](const std::string& line) { log_.push_back(line); }};
    context.minute_of_day = [this] { return now_; };
    context.tracer = [this](std::string_view target, int max_hops, std::chrono::milliseconds timeout, int echoes) {
      trace_calls_.push_back({std::string(target), max_hops, timeout, echoes});
      return trace_;
    };
    context.ip_check_attempts = {{"127.0.0.1", port_}};
    context.http_timeout = 5s;
    context.detect_ipv6 = detect_ipv6_;
    return IsUpdateDue(context);
  }

  [[nodiscard]] std::vector<std::string> LogAfterCurrentAddress(const char* line) const {
    return {std::string("Current IP address is ") + kAddress, line};
  }

  testing::CScratchFolder folder_;
  CSettingsFile settings_{folder_.File("ZelquoIUC.ini")};
  standin::Server server_;
  std::uint16_t port_ = 0;
  int now_ = 600;
  TraceResult trace_;
  std::vector<TraceCall> trace_calls_;
  std::vector<std::string> log_;
  std::function<std::string()> detect_ipv6_;
};

// Method 3 with a matching static address confirms without network, so whether the check went
// past the age test shows in its answer alone.
TEST_F(ChangeCheckTest, AgeOfTheLastUpdateInMinutesOfTheDay) {
  const struct {
    int updated_minutes;
    int now;
    bool goes_on;
    const char* why;
  } kRows[] = {
      {600, 630, true, "30 minutes exactly"},
      {600, 631, false, "31 minutes"},
      {630, 600, true, "the difference is taken either way"},
      {631, 600, false, "31 minutes the other way"},
      {1430, 5, false, "23:50 to 00:05 is 1425 minutes: no wrap at midnight"},
      {600, 610, true, "yesterday's 10:00 at 10:10 looks 10 minutes old"},
      {0, 10, false, "0 means no update, even at 00:10"},
  };
  settings_.Write(keys::kStaticOctet1, "203");
  settings_.Write(keys::kStaticOctet2, "0");
  settings_.Write(keys::kStaticOctet3, "113");
  settings_.Write(keys::kStaticOctet4, "4");
  for (const auto& row : kRows) {
    Store(kAddress, row.updated_minutes, row.updated_minutes, 3);
    now_ = row.now;
    log_.clear();
    EXPECT_EQ(Check(), !row.goes_on) << row.why;
    if (row.goes_on) {
      EXPECT_EQ(log_, LogAfterCurrentAddress(kClientLog)) << row.why;
    } else {
      EXPECT_TRUE(log_.empty()) << row.why;
    }
  }
  EXPECT_EQ(server_.RequestCount(), 0u);
  EXPECT_TRUE(trace_calls_.empty());
}

TEST_F(ChangeCheckTest, AChangedIpv6AddressIsDueUnlessATraceSparedTheServers) {
  std::string ipv6 = "2001:db8::2";
  int asked = 0;
  detect_ipv6_ = [&] {
    ++asked;
    return ipv6;
  };
  ServerAnswers(std::string("ip") + kAddress);
  TraceAnswers({kAddress});
  settings_.Write(keys::kUpdatedIpV6, "2001:db8::1");
  Store(kAddress, 600, 600, 1);
  EXPECT_FALSE(Check()) << "the setting is off";
  EXPECT_EQ(asked, 0);

  settings_.WriteInt(keys::kUpdateIpV6.name, 1);
  EXPECT_FALSE(Check()) << "within 5 minutes the trace confirms both";
  EXPECT_EQ(asked, 0);
  Store(kAddress, 600, 590, 1);
  EXPECT_TRUE(Check()) << "the servers are asked, and the IPv6 address changed";
  EXPECT_EQ(log_.back(), "IPv6 address changed to 2001:db8::2");
  ipv6 = "2001:db8::1";
  EXPECT_FALSE(Check());
  ipv6.clear();
  Store(kAddress, 600, 0, 3);
  settings_.Write(keys::kStaticOctet1, "203");
  settings_.Write(keys::kStaticOctet2, "0");
  settings_.Write(keys::kStaticOctet3, "113");
  settings_.Write(keys::kStaticOctet4, "4");
  EXPECT_TRUE(Check()) << "an address that went away is a change too";
  EXPECT_EQ(log_.back(), "IPv6 address changed to none");
}

TEST_F(ChangeCheckTest, NoStoredAddressMeansUpdateWithoutALogLine) {
  Store("", 600, 600, 1);
  ServerAnswers("ip");  // would match the empty address if it were asked
  EXPECT_TRUE(Check());
  EXPECT_TRUE(log_.empty());
  EXPECT_EQ(server_.RequestCount(), 0u);
  EXPECT_TRUE(trace_calls_.empty());
}

TEST_F(ChangeCheckTest, RecentConfirmationIsRenewedByATraceThatReachesTheAddress) {
  Store(kAddress, 590, 597, 1);  // confirmed 3 minutes ago
  TraceAnswers({"192.0.2.1", kAddress});
  EXPECT_FALSE(Check());
  EXPECT_EQ(log_, LogAfterCurrentAddress(kTraceLog));
  EXPECT_EQ(server_.RequestCount(), 0u);
  ASSERT_EQ(trace_calls_.size(), 1u);
  EXPECT_EQ(trace_calls_[0].target, kAddress);
  EXPECT_EQ(trace_calls_[0].max_hops, 10);
  EXPECT_EQ(trace_calls_[0].timeout, 5000ms);
  EXPECT_EQ(trace_calls_[0].echoes_per_hop, 3);
  EXPECT_EQ(settings_.Read(keys::kCheckMinutes), 597) << "a trace never writes the confirmation time";
}

TEST_F(ChangeCheckTest, TraceOnlyWithinFiveMinutesOfTheLastConfirmation) {
  const struct {
    int check_minutes;
    bool traced;
  } kRows[] = {{596, true}, {604, true}, {595, false}, {605, false}, {0, false}};
  TraceAnswers({kAddress});
  ServerAnswers(std::string("ip") + kAddress);
  for (const auto& row : kRows) {
    Store(kAddress, 590, row.check_minutes, 1);
    trace_calls_.clear();
    EXPECT_FALSE(Check()) << row.check_minutes;
    EXPECT_EQ(trace_calls_.size(), row.traced ? 1u : 0u) << row.check_minutes;
  }
}

TEST_F(ChangeCheckTest, TraceThatDoesNotConfirmLeavesItToTheServers) {
  const struct {
    TraceResult trace;
    const char* why;
  } kRows[] = {
      {TraceResult{false, {}}, "the trace failed"},
      {TraceResult{true, {{0, Address("192.0.2.1")}, {11010, 0}}}, "the address was not reached"},
  };
  ServerAnswers(std::string("ip") + kAddress);
  for (const auto& row : kRows) {
    Store(kAddress, 590, 598, 2);
    trace_ = row.trace;
    log_.clear();
    server_.ClearRequests();
    EXPECT_FALSE(Check()) << row.why;
    EXPECT_EQ(log_, LogAfterCurrentAddress(kServerLog)) << row.why;
    EXPECT_EQ(server_.RequestCount(), 1u) << row.why;
    EXPECT_EQ(settings_.Read(keys::kCheckMinutes), now_) << row.why;
  }
}

TEST_F(ChangeCheckTest, ServerSideAnswerWithEveryIpRemoved) {
  const struct {
    std::string answer;
    bool unchanged;
  } kRows[] = {
      {"ip203.0.113.4", true},
      {"203.0.113.4", true},
      {"203.0.113.4ip", true},
      {"ip203.0.ip113.4", true},
      {"ip203.0.113.40", false},
      {"IP203.0.113.4", false},        // case-sensitive
      {"ip 203.0.113.4", false},
      {"ip", false},                   // nothing left: never equal
      {"Error:Server Error.", false},  // discarded: no server answered
  };
  for (const auto& row : kRows) {
    Store(kAddress, 590, 500, 1);
    ServerAnswers(row.answer);
    log_.clear();
    EXPECT_EQ(Check(), !row.unchanged) << row.answer;
    if (row.unchanged) {
      EXPECT_EQ(log_, LogAfterCurrentAddress(kServerLog)) << row.answer;
      EXPECT_EQ(settings_.Read(keys::kCheckMinutes), now_) << row.answer;
    } else {
      EXPECT_EQ(log_.size(), 1u) << row.answer;
      EXPECT_EQ(settings_.Read(keys::kCheckMinutes), 500) << "only a confirmation writes it: " << row.answer;
    }
  }
  EXPECT_TRUE(trace_calls_.empty());
  EXPECT_EQ(settings_.Read(keys::kUpdatedIp), kAddress);
  EXPECT_EQ(settings_.Read(keys::kUpdatedMinutes), 590);
}

TEST_F(ChangeCheckTest, StaticAddressOfMethodThree) {
  settings_.Write(keys::kStaticOctet1, "198");
  settings_.Write(keys::kStaticOctet2, "51");
  settings_.Write(keys::kStaticOctet3, "100");
  settings_.Write(keys::kStaticOctet4, "7");
  Store("198.51.100.7", 590, 500, 3);
  EXPECT_FALSE(Check());
  EXPECT_EQ(log_, (std::vector<std::string>{"Current IP address is 198.51.100.7", kClientLog}));

  settings_.Write(keys::kStaticOctet4, "8");
  EXPECT_TRUE(Check());
  EXPECT_EQ(server_.RequestCount(), 0u);
  EXPECT_TRUE(trace_calls_.empty());
  EXPECT_EQ(settings_.Read(keys::kCheckMinutes), 500);
}

TEST_F(ChangeCheckTest, UnknownMethodUpdatesAfterTheAddressLine) {
  Store(kAddress, 590, 598, 7);
  ServerAnswers(std::string("ip") + kAddress);
  TraceAnswers({kAddress});
  EXPECT_TRUE(Check());
  EXPECT_EQ(log_, (std::vector<std::string>{std::string("Current IP address is ") + kAddress}));
  EXPECT_EQ(server_.RequestCount(), 0u);
  EXPECT_TRUE(trace_calls_.empty());
}

// Methods 0 and 4 look for the address among this machine's own; method 2 asks the servers
// only, even when the machine holds the address.
TEST_F(ChangeCheckTest, LocalAddressListBelongsToMethodsZeroAndFour) {
  const std::string list = GetLocalAddressList(settings_);
  if (list.empty()) GTEST_SKIP() << "this machine's host name resolves to no address";
  const std::string own = list.substr(0, list.find('&'));
  const struct {
    int method;
    bool unchanged;
  } kRows[] = {{0, true}, {4, true}, {2, false}};
  for (const auto& row : kRows) {
    Store(own, 590, 500, row.method);
    log_.clear();
    EXPECT_EQ(Check(), !row.unchanged) << row.method;
    if (row.unchanged) {
      EXPECT_EQ(log_, (std::vector<std::string>{"Current IP address is " + own, kClientLog})) << row.method;
    }
  }
  EXPECT_EQ(server_.RequestCount(), 1u) << "only method 2 asks the server";
  EXPECT_TRUE(trace_calls_.empty()) << "confirmed 90 minutes ago: no trace";

  Store("192.0.2.250", 590, 500, 0);  // an address this machine does not hold
  EXPECT_TRUE(Check());
  EXPECT_EQ(settings_.Read(keys::kCheckMinutes), 500);
}

}  // namespace
}  // namespace zelquo
