// One ICMP echo request with a chosen time-to-live, as the route tracer sends it. Windows uses
// the system's ICMP echo service (ICMP.DLL, bound once per process); POSIX sends the echo itself
// over an ICMP datagram socket, or a raw socket where datagram sockets are not allowed. The hop
// loop that uses these lives in change_check/route_tracer.cpp.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace zelquo::platform {

// The payload of every echo: 32 bytes of 0x45.
inline constexpr std::size_t kEchoPayloadSize = 32;
inline constexpr unsigned char kEchoPayloadByte = 0x45;

struct EchoReply {
  enum class Outcome {
    kReply,      // a node answered: the target's echo reply, or a router's ICMP error about it
    kNoReply,    // nothing usable came back in time, or the request could not be sent
    kNoService,  // the ICMP echo service could not be opened at all: the trace fails
  };
  Outcome outcome = Outcome::kNoService;
  std::uint32_t address = 0;  // kReply: the answering node, network byte order
  std::uint32_t error = 0;    // kNoReply: the system's error code, never 0
};

// Makes the ICMP echo service ready; false when it cannot be used. On Windows the binding is
// attempted once per process and its outcome kept; POSIX opens its sockets per echo and has
// nothing to bind.
[[nodiscard]] bool BindIcmpEcho();

// The first IPv4 address of a host name (network byte order), or nothing when it has none.
[[nodiscard]] std::optional<std::uint32_t> ResolveHostIpv4(std::string_view name);

// Sends one echo request to target (network byte order) with the given time-to-live and waits
// up to timeout for the answer.
[[nodiscard]] EchoReply SendIcmpEcho(std::uint32_t target, int ttl, std::chrono::milliseconds timeout);

// What the hop loop needs from an ICMP echo service; the functions above by default. It lives
// here rather than beside the hop loop so that a platform's own service can be built without
// including the change check.
struct EchoService {
  std::function<bool()> bind = &BindIcmpEcho;
  std::function<std::optional<std::uint32_t>(std::string_view name)> resolve = &ResolveHostIpv4;
  std::function<EchoReply(std::uint32_t target, int ttl, std::chrono::milliseconds timeout)> send = &SendIcmpEcho;
};

}  // namespace zelquo::platform
