// Which IPv6 address the provider is to publish, when the "updateipv6" flag asks for one. The
// user's method picks the source as it does for IPv4: client side this machine's interfaces,
// server side the IP-check servers reached over IPv6, both the two compared. The static and
// network-card methods name an IPv4 address only and detect no IPv6 address. The answer is the
// address's canonical text or empty text (send no IPv6 key).
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "detection/ip_check_servers.h"
#include "detection/ipv6_address.h"
#include "platform/ipv6_interfaces.h"
#include "settings/settings.h"

namespace zelquo {

// The activity lines of one IPv6 detection: the address found, or that there was none.
inline constexpr char kIpv6FoundMessage[] = "Detected IPv6 address ";
inline constexpr char kNoIpv6Message[] = "No usable IPv6 address found; updating without one.";

struct Ipv6DetectionContext {
  const CSettingsFile& settings;
  std::vector<IpCheckAttempt> ip_check_attempts = ProductionIpCheckAttempts();
  std::chrono::milliseconds http_timeout = kHttpGetLineTimeout;
  std::function<std::vector<Ipv6Candidate>()> interfaces = platform::LocalIpv6Candidates;
};

// True when the settings turn IPv6 updates on ("updateipv6" reads as a true flag).
[[nodiscard]] bool IsIpv6UpdateOn(const CSettingsFile& settings);

[[nodiscard]] std::string DetectIpv6Address(const Ipv6DetectionContext& context);

// The activity line that reports a detection's result.
[[nodiscard]] std::string Ipv6DetectionMessage(const std::string& address);

}  // namespace zelquo
