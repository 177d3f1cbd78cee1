#include "detection/detect_ipv6.h"

#include "detection/detect_ip.h"
#include "detection/local_addresses.h"

namespace zelquo {

namespace {

std::string FromInterfaces(const Ipv6DetectionContext& context, const std::vector<Ipv6Candidate>& candidates) {
  return ChooseIpv6Address(candidates,
                           [&](std::string_view address) { return IsIgnoredAddress(address, context.settings); });
}

}  // namespace

bool IsIpv6UpdateOn(const CSettingsFile& settings) { return settings.ReadBool(keys::kUpdateIpV6.name, false); }

std::string DetectIpv6Address(const Ipv6DetectionContext& context) {
  switch (static_cast<DetectionMethod>(context.settings.Read(keys::kIpMethod))) {
    case DetectionMethod::kClientSide:
      return FromInterfaces(context, context.interfaces());
    case DetectionMethod::kServerSide:
      return QueryIpv6CheckServers(context.ip_check_attempts, context.http_timeout);
    case DetectionMethod::kBoth: {
      const std::string seen = QueryIpv6CheckServers(context.ip_check_attempts, context.http_timeout);
      const std::vector<Ipv6Candidate> candidates = context.interfaces();
      if (seen.empty()) return FromInterfaces(context, candidates);  // no server answered
      // Only an address the machine holds itself; behind prefix translation nothing matches.
      for (const Ipv6Candidate& candidate : candidates) {
        if (IsUsableIpv6Candidate(candidate) && Ipv6Text(candidate.address) == seen &&
            !IsIgnoredAddress(seen, context.settings)) {
          return seen;
        }
      }
      return std::string();
    }
    case DetectionMethod::kStaticAddress:
    case DetectionMethod::kNetworkCard:
      break;
  }
  return std::string();
}

std::string Ipv6DetectionMessage(const std::string& address) {
  return address.empty() ? std::string(kNoIpv6Message) : kIpv6FoundMessage + address;
}

}  // namespace zelquo
