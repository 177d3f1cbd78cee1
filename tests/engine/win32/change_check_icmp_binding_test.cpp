// The Windows tracer over scripted ICMP.DLL entry points: the one-time binding, the request each
// echo makes, and how IcmpSendEcho's answers become hop records.
#include "platform/win32/icmp_binding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "change_check_printers.h"

namespace zelquo::platform {
namespace {

using namespace std::chrono_literals;

std::uint32_t Address(const char* text) { return ParseDottedQuad(text).value(); }

struct EchoCall {
  HANDLE handle;
  IPAddr destination;
  std::vector<unsigned char> payload;
  IP_OPTION_INFORMATION options;
  DWORD reply_size;
  DWORD timeout;
};

// State of the fake entry points; they are plain functions, so it is process-wide.
struct FakeIcmp {
  static inline int creates = 0;
  static inline int closes = 0;
  static inline bool fail_create = false;
  static inline std::vector<EchoCall> calls;
  // The answer to an echo with this time-to-live: the replying node and its status, or a
  // reply count of 0 with this last error.
  struct Answer {
    DWORD replies;
    const char* node;
    ULONG status;
    DWORD last_error;
  };
  static inline Answer (*answer)(int ttl) = nullptr;

  static void Reset(Answer (*script)(int)) {
    creates = closes = 0;
    fail_create = false;
    calls.clear();
    answer = script;
  }

  static HANDLE WINAPI Create() {
    ++creates;
    if (fail_create) return INVALID_HANDLE_VALUE;
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(0x1000 + creates));
  }

  static DWORD WINAPI Send(HANDLE handle, IPAddr destination, LPVOID data, WORD size, PIP_OPTION_INFORMATION options,
                           LPVOID reply, DWORD reply_size, DWORD timeout) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    calls.push_back(
        {handle, destination, std::vector<unsigned char>(bytes, bytes + size), *options, reply_size, timeout});
    const Answer scripted = answer(options->Ttl);
    SetLastError(scripted.last_error);
    if (scripted.replies == 0) return 0;
    ICMP_ECHO_REPLY record{};
    record.Address = Address(scripted.node);
    record.Status = scripted.status;
    std::memcpy(reply, &record, sizeof record);
    return scripted.replies;
  }

  static BOOL WINAPI Close(HANDLE) {
    ++closes;
    return TRUE;
  }

  static std::optional<IcmpFunctions> Functions() { return IcmpFunctions{&Create, &Send, &Close}; }
};

TraceResult Trace(CIcmpBinding& binding, int max_hops = 10) {
  return TraceRouteThrough(IcmpEchoService(binding), "203.0.113.4", max_hops, 700ms, 3);
}

TEST(IcmpBindingTest, FailedBindingIsAttemptedOnceAndFailsEveryTrace) {
  int loads = 0;
  CIcmpBinding binding([&loads]() -> std::optional<IcmpFunctions> {
    ++loads;
    return std::nullopt;
  });
  EXPECT_FALSE(Trace(binding).ok);
  EXPECT_FALSE(Trace(binding).ok);
  EXPECT_EQ(binding.Functions(), nullptr);
  EXPECT_EQ(loads, 1);
}

TEST(IcmpBindingTest, TimeExceededFromTheRouterNamesTheFirstHop) {
  FakeIcmp::Reset([](int ttl) -> FakeIcmp::Answer {
    if (ttl == 1) return {1, "192.0.2.1", IP_TTL_EXPIRED_TRANSIT, 0};
    return {1, "203.0.113.4", IP_SUCCESS, 0};
  });
  CIcmpBinding binding(&FakeIcmp::Functions);
  const TraceResult trace = Trace(binding);
  ASSERT_TRUE(trace.ok);
  EXPECT_EQ(trace.hops, (std::vector<HopRecord>{{0, Address("192.0.2.1")}, {0, Address("203.0.113.4")}}));

  ASSERT_EQ(FakeIcmp::calls.size(), 6u);
  std::set<HANDLE> handles;
  for (std::size_t i = 0; i < FakeIcmp::calls.size(); ++i) {
    const EchoCall& call = FakeIcmp::calls[i];
    handles.insert(call.handle);
    EXPECT_EQ(call.destination, Address("203.0.113.4"));
    EXPECT_EQ(call.payload, std::vector<unsigned char>(32, 0x45));
    EXPECT_EQ(call.options.Ttl, i / 3 + 1);
    EXPECT_EQ(call.options.Tos, 0);
    EXPECT_EQ(call.options.Flags, 0);
    EXPECT_EQ(call.options.OptionsSize, 0);
    EXPECT_EQ(call.options.OptionsData, nullptr);
    EXPECT_GE(call.reply_size, sizeof(ICMP_ECHO_REPLY) + 32 + 8) << "room for one reply and an ICMP error";
    EXPECT_EQ(call.timeout, 700u);
  }
  EXPECT_EQ(handles.size(), 6u) << "each echo opens a handle of its own";
  EXPECT_EQ(FakeIcmp::creates, 6);
  EXPECT_EQ(FakeIcmp::closes, 6);
}

TEST(IcmpBindingTest, NoReplyKeepsTheLastErrorAsStatus) {
  const struct {
    FakeIcmp::Answer (*script)(int);
    HopRecord first_hop;
    const char* why;
  } kRows[] = {
      {[](int) -> FakeIcmp::Answer {
         return {0, nullptr, 0, IP_REQ_TIMED_OUT};
       },
       {IP_REQ_TIMED_OUT, 0},
       "time-out"},
      {[](int) -> FakeIcmp::Answer {
         return {0, nullptr, 0, 0};
       },
       {IP_GENERAL_FAILURE, 0},
       "no reply without an error code still fails"},
      {[](int) -> FakeIcmp::Answer {
         return {2, "192.0.2.1", IP_SUCCESS, IP_BUF_TOO_SMALL};
       },
       {IP_BUF_TOO_SMALL, 0},
       "only exactly one reply counts"},
  };
  for (const auto& row : kRows) {
    FakeIcmp::Reset(row.script);
    CIcmpBinding binding(&FakeIcmp::Functions);
    const TraceResult trace = Trace(binding, 2);
    ASSERT_TRUE(trace.ok) << row.why;
    EXPECT_EQ(trace.hops, (std::vector<HopRecord>{row.first_hop, row.first_hop})) << row.why;
    EXPECT_EQ(FakeIcmp::calls.size(), 2u) << "one failed echo per hop: " << row.why;
    EXPECT_EQ(FakeIcmp::closes, FakeIcmp::creates) << row.why;
  }
}

TEST(IcmpBindingTest, HandleOrSendingRefusedFailsTheTrace) {
  FakeIcmp::Reset([](int) -> FakeIcmp::Answer { return {1, "203.0.113.4", IP_SUCCESS, 0}; });
  FakeIcmp::fail_create = true;
  CIcmpBinding binding(&FakeIcmp::Functions);
  EXPECT_FALSE(Trace(binding).ok);
  EXPECT_TRUE(FakeIcmp::calls.empty());
  EXPECT_EQ(FakeIcmp::closes, 0);

  FakeIcmp::Reset([](int) -> FakeIcmp::Answer { return {0, nullptr, 0, ERROR_ACCESS_DENIED}; });
  CIcmpBinding refusing(&FakeIcmp::Functions);
  EXPECT_FALSE(Trace(refusing).ok);
  EXPECT_EQ(FakeIcmp::calls.size(), 1u);
  EXPECT_EQ(FakeIcmp::closes, 1);
}

TEST(IcmpBindingTest, SystemLibraryHasTheThreeEntryPoints) {
  const std::optional<IcmpFunctions> functions = LoadIcmpFunctions();
  ASSERT_TRUE(functions);
  EXPECT_NE(functions->create_file, nullptr);
  EXPECT_NE(functions->send_echo, nullptr);
  EXPECT_NE(functions->close_handle, nullptr);
}

}  // namespace
}  // namespace zelquo::platform
