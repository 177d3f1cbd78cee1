// The IP-change check: whether the address last sent to the provider can still be trusted, or
// an update is due. Within 5 minutes of the last confirmation a route trace may confirm it; more
// than 30 minutes after the last settled update an update is always due.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "change_check/route_tracer.h"
#include "detection/ip_check_servers.h"
#include "platform/clock.h"
#include "reporting/message_sinks.h"
#include "settings/settings.h"

namespace zelquo {

struct ChangeCheckContext {
  const CSettingsFile& settings;
  MessageSink activity;  // the check's log lines; may be empty
  MinuteOfDayClock minute_of_day = SystemMinuteOfDayClock();
  RouteTracer tracer = TraceRoute;
  std::vector<IpCheckAttempt> ip_check_attempts = ProductionIpCheckAttempts();
  std::chrono::milliseconds http_timeout = kHttpGetLineTimeout;
  // IPv6 detection, asked only when "updateipv6" is on; empty: DetectIpv6Address.
  std::function<std::string()> detect_ipv6 = {};
};

// True: an update is due. False: the stored address was confirmed. With "updateipv6" on, an
// IPv6 address detected now that differs from "updatedipv6" also makes an update due; with a
// server-side method it is detected only when the servers are asked for the IPv4 address too
// (not after a route trace confirmed it). Writes only "checkminutes",
// and only on a confirmation by the IP-check servers.
[[nodiscard]] bool IsUpdateDue(const ChangeCheckContext& context);

// True when a trace of at most 10 hops (5000 ms per echo, 3 echoes per hop) shows the address
// still reachable as before: a hop answered from the address, or the first hop did not answer
// at all. False when the trace itself failed (no ICMP service, unresolvable address).
[[nodiscard]] bool TraceRouteCheck(std::string_view address, const RouteTracer& tracer = TraceRoute);

}  // namespace zelquo
