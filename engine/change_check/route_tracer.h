// Route tracing with ICMP echoes of increasing time-to-live. Windows uses the system's ICMP
// echo service (ICMP.DLL, bound once per process); POSIX sends the echoes itself over an ICMP
// datagram socket, or a raw socket where datagram sockets are not allowed.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace zelquo {

struct HopRecord {
  // 0 when every echo of the hop got a reply, else the system error code of the first that failed.
  std::uint32_t status = 0;
  // The node that answered the hop's last successful echo, in network byte order (first byte is
  // the first number of the dotted form); 0 when the first echo failed.
  std::uint32_t address = 0;
};

struct TraceResult {
  bool ok = false;  // false: no ICMP service, unresolvable target, or a handle failure
  std::vector<HopRecord> hops;
};

using RouteTracer = std::function<TraceResult(std::string_view target, int max_hops,
                                              std::chrono::milliseconds timeout, int echoes_per_hop)>;

inline constexpr int kTraceMaxHops = 10;
inline constexpr std::chrono::milliseconds kTraceEchoTimeout{5000};
inline constexpr int kTraceEchoesPerHop = 3;

// The platform tracer.
[[nodiscard]] TraceResult TraceRoute(std::string_view target, int max_hops, std::chrono::milliseconds timeout,
                                     int echoes_per_hop);

}  // namespace zelquo
