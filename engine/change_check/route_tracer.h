// Route tracing with ICMP echoes of increasing time-to-live. The hop loop is the same everywhere;
// how one echo is sent is the platform's (platform/icmp_echo.h): Windows uses the system's ICMP
// echo service (ICMP.DLL, bound once per process), POSIX sends the echoes itself over an ICMP
// datagram socket, or a raw socket where datagram sockets are not allowed.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/icmp_echo.h"

namespace zelquo {

struct HopRecord {
  // 0 when every echo of the hop got a reply, else the system error code of the first that failed.
  std::uint32_t status = 0;
  // The node that answered the hop's last successful echo, in network byte order (first byte is
  // the first number of the dotted form); 0 when the first echo failed.
  std::uint32_t address = 0;

  friend bool operator==(const HopRecord&, const HopRecord&) = default;
};

struct TraceResult {
  bool ok = false;  // false: no ICMP service, unresolvable target, or a handle failure
  std::vector<HopRecord> hops;
};

using RouteTracer = std::function<TraceResult(std::string_view target, int max_hops, std::chrono::milliseconds timeout,
                                              int echoes_per_hop)>;

inline constexpr int kTraceMaxHops = 10;
inline constexpr std::chrono::milliseconds kTraceEchoTimeout{5000};
inline constexpr int kTraceEchoesPerHop = 3;

// The platform tracer.
[[nodiscard]] TraceResult TraceRoute(std::string_view target, int max_hops, std::chrono::milliseconds timeout,
                                     int echoes_per_hop);

// The echo service the hop loop goes through (platform/icmp_echo.h).
using platform::EchoService;

// The hop loop over a given echo service: bind, resolve the target (a dotted quad as it is, else
// the name's first address), then for each hop up to echoes_per_hop echoes, stopping at the first
// that fails, until a hop's address is the target or max_hops hops are recorded.
[[nodiscard]] TraceResult TraceRouteThrough(const EchoService& service, std::string_view target, int max_hops,
                                            std::chrono::milliseconds timeout, int echoes_per_hop);

// Four decimal numbers from 0 to 255 joined by "." (up to three digits each), as an address in
// network byte order; nothing for any other text.
[[nodiscard]] std::optional<std::uint32_t> ParseDottedQuad(std::string_view text);

// An address in network byte order as "%d.%d.%d.%d".
[[nodiscard]] std::string FormatDottedQuad(std::uint32_t address);

}  // namespace zelquo
