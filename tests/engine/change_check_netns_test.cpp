// The platform tracer on a real line of network namespaces (client - router - target), set up
// by tests/netns/trace-tests.sh, which runs these cases inside the client namespace with
// ZELQUO_NETNS naming the set to run and the addresses in ZELQUO_TRACE_* variables. Anywhere
// else they are skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "change_check/ip_change_check.h"
#include "change_check/route_tracer.h"
#include "standin_provider/standin_server.h"
#include "test_files.h"
#include "change_check_printers.h"
#include "netns_scenario.h"

namespace zelquo {
namespace {

using namespace std::chrono_literals;

using testing::Environment;
bool InNamespaces(const char* mode) { return testing::InNetnsScenario(mode); }

constexpr char kOutsideNamespaces[] = "runs inside the trace namespaces only (tests/netns/trace-tests.sh)";

std::uint32_t Address(const std::string& text) {
  const std::optional<std::uint32_t> address = ParseDottedQuad(text);
  EXPECT_TRUE(address) << "not an address: '" << text << "'";
  return address.value_or(0);
}

struct Line {
  std::string router = Environment("ZELQUO_TRACE_ROUTER");            // hop 1, as the client sees it
  std::string target = Environment("ZELQUO_TRACE_TARGET");            // hop 2, answers echoes
  std::string silent = Environment("ZELQUO_TRACE_SILENT");            // hop 2, ignores echoes
  std::string target_name = Environment("ZELQUO_TRACE_TARGET_NAME");  // the target in the hosts file
};

TEST(TraceNetnsTest, RouterAnswersHopOneAndTheTargetHopTwo) {
  if (!InNamespaces("trace")) GTEST_SKIP() << kOutsideNamespaces;
  const Line line;
  const TraceResult trace = TraceRoute(line.target, kTraceMaxHops, kTraceEchoTimeout, kTraceEchoesPerHop);
  ASSERT_TRUE(trace.ok);
  EXPECT_EQ(trace.hops, (std::vector<HopRecord>{{0, Address(line.router)}, {0, Address(line.target)}}));
  EXPECT_TRUE(TraceRouteCheck(line.target));

  const TraceResult by_name = TraceRoute(line.target_name, kTraceMaxHops, kTraceEchoTimeout, kTraceEchoesPerHop);
  ASSERT_TRUE(by_name.ok);
  EXPECT_EQ(by_name.hops, trace.hops);
}

TEST(TraceNetnsTest, SilentTargetLeavesEveryLaterHopUnanswered) {
  if (!InNamespaces("trace")) GTEST_SKIP() << kOutsideNamespaces;
  const Line line;
  // A short time-out per echo keeps the nine silent hops quick.
  const TraceResult trace = TraceRoute(line.silent, kTraceMaxHops, 300ms, kTraceEchoesPerHop);
  ASSERT_TRUE(trace.ok);
  ASSERT_EQ(trace.hops.size(), 10u);
  EXPECT_EQ(trace.hops[0], (HopRecord{0, Address(line.router)}));
  for (std::size_t i = 1; i < trace.hops.size(); ++i) {
    EXPECT_NE(trace.hops[i].status, 0u) << "hop " << i + 1;
    EXPECT_EQ(trace.hops[i].address, 0u) << "hop " << i + 1;
  }
  EXPECT_FALSE(TraceRouteCheck(line.silent, [&](auto...) { return trace; }));
  EXPECT_FALSE(TraceRoute(line.silent + "x", kTraceMaxHops, 300ms, kTraceEchoesPerHop).ok) << "unresolvable";
}

// The production check with the real tracer, on the state of an update confirmed 2 minutes
// ago; the stand-in IP-check server confirms the address too. Returns the check's log.
std::vector<std::string> CheckFreshConfirmation(const std::string& address, standin::Server& server,
                                                const CSettingsFile& settings) {
  settings.Write(keys::kUpdatedIp, address);
  settings.Write(keys::kUpdatedMinutes, 600);
  settings.Write(keys::kCheckMinutes, 602);
  const std::uint16_t port = server.Listen();
  server.SetReply("/ipcheck.asp", standin::Text("ip" + address));
  server.Start();
  std::vector<std::string> log;
  ChangeCheckContext context{settings, [&log](const std::string& text) { log.push_back(text); }};
  context.minute_of_day = [] { return 604; };
  context.ip_check_attempts = {{"127.0.0.1", port}};
  EXPECT_FALSE(IsUpdateDue(context));
  return log;
}

TEST(TraceNetnsTest, ChangeCheckConfirmsThroughTheRealTrace) {
  if (!InNamespaces("trace")) GTEST_SKIP() << kOutsideNamespaces;
  const Line line;
  testing::CScratchFolder folder;
  const CSettingsFile settings(folder.File("ZelquoIUC.ini"));
  standin::Server server;
  EXPECT_EQ(CheckFreshConfirmation(line.target, server, settings),
            (std::vector<std::string>{"Current IP address is " + line.target,
                                      "IP address found to be unchanged through trace route."}));
  EXPECT_EQ(server.RequestCount(), 0u);
  EXPECT_EQ(settings.Read(keys::kCheckMinutes), 602);
}

// Without any ICMP echo service the trace fails, and the check asks the IP-check server.
TEST(TraceNetnsTest, NoIcmpServiceLeavesItToTheServer) {
  if (!InNamespaces("trace-noicmp")) GTEST_SKIP() << kOutsideNamespaces;
  const Line line;
  EXPECT_FALSE(TraceRoute(line.target, kTraceMaxHops, kTraceEchoTimeout, kTraceEchoesPerHop).ok);
  EXPECT_FALSE(TraceRouteCheck(line.target));

  testing::CScratchFolder folder;
  const CSettingsFile settings(folder.File("ZelquoIUC.ini"));
  standin::Server server;
  EXPECT_EQ(CheckFreshConfirmation(line.target, server, settings),
            (std::vector<std::string>{"Current IP address is " + line.target,
                                      "IP address found to be unchanged through server side check."}));
  EXPECT_EQ(server.RequestCount(), 1u);
  EXPECT_EQ(settings.Read(keys::kCheckMinutes), 604);
}

}  // namespace
}  // namespace zelquo
