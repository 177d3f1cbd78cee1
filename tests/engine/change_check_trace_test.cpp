// The trace route check's reading of hop records, the tracer's hop loop over a scripted echo
// service, and one real trace to the loopback address.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "change_check/ip_change_check.h"
#include "change_check/route_tracer.h"
#include "change_check_printers.h"

namespace zelquo {
namespace {

using namespace std::chrono_literals;
using Outcome = platform::EchoReply::Outcome;

std::uint32_t Address(const char* text) { return ParseDottedQuad(text).value(); }

TEST(DottedQuadTest, ParsesFourDecimalNumbersInNetworkOrder) {
  const std::optional<std::uint32_t> parsed = ParseDottedQuad("1.2.3.250");
  ASSERT_TRUE(parsed);
  unsigned char bytes[4];
  std::memcpy(bytes, &*parsed, sizeof bytes);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[1], 2);
  EXPECT_EQ(bytes[2], 3);
  EXPECT_EQ(bytes[3], 250);
  EXPECT_EQ(FormatDottedQuad(*parsed), "1.2.3.250");
  EXPECT_EQ(FormatDottedQuad(0), "0.0.0.0");
  EXPECT_EQ(FormatDottedQuad(Address("255.255.255.255")), "255.255.255.255");
  EXPECT_EQ(FormatDottedQuad(Address("010.0.0.1")), "10.0.0.1") << "leading zeros are decimal";

  for (const char* text : {"", "1.2.3", "1.2.3.4.", "1.2.3.4.5", "256.1.1.1", "1.2.3.1000", "1..3.4", "a.b.c.d",
                           " 1.2.3.4", "1.2.3.4 ", "1.2.3.-4", "host.example"}) {
    EXPECT_FALSE(ParseDottedQuad(text)) << text;
  }
}

// The check asks for 10 hops, 5000 ms and 3 echoes, then reads the records.
TEST(TraceRouteCheckTest, ReadingOfTheHopRecords) {
  const struct {
    TraceResult trace;
    bool reachable;
    const char* why;
  } kRows[] = {
      {{false, {}}, false, "the trace failed"},
      {{false, {{0, Address("203.0.113.4")}}}, false, "a failed trace's records do not count"},
      {{true, {}}, false, "no hop at all"},
      {{true, {{0, Address("203.0.113.4")}}}, true, "the first hop is the address"},
      {{true, {{0, Address("192.0.2.1")}, {0, Address("203.0.113.4")}}}, true, "reached at hop 2"},
      {{true, {{0, Address("192.0.2.1")}, {0, Address("198.51.100.1")}}}, false, "never reached"},
      {{true, {{11010, 0}, {11010, 0}}}, true, "a silent first hop is taken as unchanged"},
      {{true, {{11010, Address("192.0.2.1")}}}, true, "a first hop whose later echo failed"},
      {{true, {{0, Address("192.0.2.1")}, {11010, 0}}}, false, "only the first hop's status counts"},
      {{true, {{0, Address("203.0.113.40")}}}, false, "the texts must be equal"},
  };
  for (const auto& row : kRows) {
    int calls = 0;
    const RouteTracer tracer = [&](std::string_view target, int max_hops, std::chrono::milliseconds timeout,
                                   int echoes) {
      ++calls;
      EXPECT_EQ(target, "203.0.113.4");
      EXPECT_EQ(max_hops, 10);
      EXPECT_EQ(timeout, 5000ms);
      EXPECT_EQ(echoes, 3);
      return row.trace;
    };
    EXPECT_EQ(TraceRouteCheck("203.0.113.4", tracer), row.reachable) << row.why;
    EXPECT_EQ(calls, 1) << row.why;
  }
}

// An echo service that answers from a script: for each time-to-live the replies in turn (the
// last one repeating), and a record of every echo sent.
class ScriptedEchoService {
 public:
  struct Sent {
    std::uint32_t target;
    int ttl;
    std::chrono::milliseconds timeout;
  };

  void Answer(int ttl, std::vector<platform::EchoReply> replies) { script_[ttl] = std::move(replies); }

  [[nodiscard]] EchoService Service() {
    EchoService service;
    service.bind = [this] {
      ++binds;
      return bind_ok;
    };
    service.resolve = [this](std::string_view name) -> std::optional<std::uint32_t> {
      resolved.emplace_back(name);
      if (name == "target.example") return Address("203.0.113.4");
      return std::nullopt;
    };
    service.send = [this](std::uint32_t target, int ttl, std::chrono::milliseconds timeout) {
      sent.push_back({target, ttl, timeout});
      auto found = script_.find(ttl);
      if (found == script_.end() || found->second.empty()) return NoReply(11010);
      std::size_t& next = next_[ttl];
      const platform::EchoReply reply = found->second[std::min(next, found->second.size() - 1)];
      ++next;
      return reply;
    };
    return service;
  }

  static platform::EchoReply From(const char* address) { return {Outcome::kReply, Address(address), 0}; }
  static platform::EchoReply NoReply(std::uint32_t error) { return {Outcome::kNoReply, 0, error}; }
  static platform::EchoReply NoService() { return {Outcome::kNoService, 0, 0}; }

  bool bind_ok = true;
  int binds = 0;
  std::vector<std::string> resolved;
  std::vector<Sent> sent;

 private:
  std::map<int, std::vector<platform::EchoReply>> script_;
  std::map<int, std::size_t> next_;
};

TEST(TraceRouteThroughTest, RouterThenTargetStopsAtTheTarget) {
  ScriptedEchoService echoes;
  echoes.Answer(1, {ScriptedEchoService::From("192.0.2.1")});
  echoes.Answer(2, {ScriptedEchoService::From("203.0.113.4")});
  echoes.Answer(3, {ScriptedEchoService::From("198.51.100.99")});  // never asked for
  const TraceResult trace = TraceRouteThrough(echoes.Service(), "203.0.113.4", 10, 5000ms, 3);
  ASSERT_TRUE(trace.ok);
  EXPECT_EQ(trace.hops, (std::vector<HopRecord>{{0, Address("192.0.2.1")}, {0, Address("203.0.113.4")}}));
  ASSERT_EQ(echoes.sent.size(), 6u) << "three echoes on each of two hops";
  for (std::size_t i = 0; i < echoes.sent.size(); ++i) {
    EXPECT_EQ(echoes.sent[i].target, Address("203.0.113.4"));
    EXPECT_EQ(echoes.sent[i].ttl, static_cast<int>(i / 3) + 1);
    EXPECT_EQ(echoes.sent[i].timeout, 5000ms);
  }
  EXPECT_TRUE(echoes.resolved.empty()) << "a dotted quad is used as it is";
}

TEST(TraceRouteThroughTest, FirstFailedEchoEndsTheHop) {
  ScriptedEchoService echoes;
  // Hop 1: the first echo fails. Hop 2: the second fails after one reply. Hop 3 answers.
  echoes.Answer(1, {ScriptedEchoService::NoReply(11010), ScriptedEchoService::From("192.0.2.1")});
  echoes.Answer(2, {ScriptedEchoService::From("192.0.2.2"), ScriptedEchoService::NoReply(11003),
                    ScriptedEchoService::From("192.0.2.2")});
  echoes.Answer(3, {ScriptedEchoService::From("203.0.113.4")});
  const TraceResult trace = TraceRouteThrough(echoes.Service(), "203.0.113.4", 10, 100ms, 3);
  ASSERT_TRUE(trace.ok);
  EXPECT_EQ(trace.hops,
            (std::vector<HopRecord>{{11010, 0}, {11003, Address("192.0.2.2")}, {0, Address("203.0.113.4")}}));
  EXPECT_EQ(echoes.sent.size(), 1u + 2u + 3u);
}

TEST(TraceRouteThroughTest, UnreachedTargetRecordsEveryHop) {
  ScriptedEchoService echoes;
  echoes.Answer(1, {ScriptedEchoService::From("192.0.2.1")});  // later hops time out
  const TraceResult trace = TraceRouteThrough(echoes.Service(), "203.0.113.4", 10, 100ms, 3);
  ASSERT_TRUE(trace.ok);
  ASSERT_EQ(trace.hops.size(), 10u);
  EXPECT_EQ(trace.hops[0], (HopRecord{0, Address("192.0.2.1")}));
  for (std::size_t i = 1; i < trace.hops.size(); ++i) EXPECT_EQ(trace.hops[i], (HopRecord{11010, 0})) << i;
  EXPECT_EQ(echoes.sent.size(), 3u + 9u);
}

TEST(TraceRouteThroughTest, FailuresOfTheWholeTrace) {
  {
    ScriptedEchoService echoes;
    echoes.bind_ok = false;
    EXPECT_FALSE(TraceRouteThrough(echoes.Service(), "203.0.113.4", 10, 100ms, 3).ok);
    EXPECT_TRUE(echoes.sent.empty());
  }
  {
    ScriptedEchoService echoes;
    const TraceResult trace = TraceRouteThrough(echoes.Service(), "no-such-host.example", 10, 100ms, 3);
    EXPECT_FALSE(trace.ok);
    EXPECT_EQ(echoes.resolved, std::vector<std::string>{"no-such-host.example"});
    EXPECT_TRUE(echoes.sent.empty());
  }
  {
    ScriptedEchoService echoes;  // the handle of hop 2's second echo cannot be opened
    echoes.Answer(1, {ScriptedEchoService::From("192.0.2.1")});
    echoes.Answer(2, {ScriptedEchoService::From("192.0.2.2"), ScriptedEchoService::NoService()});
    const TraceResult trace = TraceRouteThrough(echoes.Service(), "203.0.113.4", 10, 100ms, 3);
    EXPECT_FALSE(trace.ok);
    EXPECT_TRUE(trace.hops.empty());
    EXPECT_EQ(echoes.sent.size(), 5u);
  }
}

TEST(TraceRouteThroughTest, HostNameIsResolvedToItsFirstAddress) {
  ScriptedEchoService echoes;
  echoes.Answer(1, {ScriptedEchoService::From("203.0.113.4")});
  const TraceResult trace = TraceRouteThrough(echoes.Service(), "target.example", 10, 100ms, 3);
  ASSERT_TRUE(trace.ok);
  EXPECT_EQ(trace.hops, (std::vector<HopRecord>{{0, Address("203.0.113.4")}}));
  EXPECT_EQ(echoes.binds, 1);
}

// The platform tracer against this machine's loopback address: one hop, answered by itself.
TEST(TraceRouteTest, LoopbackAnswersAtTheFirstHop) {
  const TraceResult trace = TraceRoute("127.0.0.1", kTraceMaxHops, 2000ms, kTraceEchoesPerHop);
  if (!trace.ok) GTEST_SKIP() << "no ICMP echo service for this user (no raw socket, no ping group)";
  EXPECT_EQ(trace.hops, (std::vector<HopRecord>{{0, Address("127.0.0.1")}}));
  EXPECT_TRUE(TraceRouteCheck("127.0.0.1"));
}

}  // namespace
}  // namespace zelquo
