// GetAdaptersAddresses form of the interface addresses. Windows has no "temporary" flag: a
// privacy address is one whose suffix came from a random number (IpSuffixOriginRandom), learnt
// from a router (IpPrefixOriginRouterAdvertisement). Duplicate detection reports its state in
// DadState; an address past its preferred lifetime is IpDadStateDeprecated.
//
// Wine (8.0) reports every address of a card with the origins "DHCP", DadState "preferred" and
// lifetimes of 60000 seconds, whatever the system says of it: under Wine tentative, deprecated
// and temporary addresses look stable, and only the kind of address and the interface tell.
#include "platform/ipv6_interfaces.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <cstring>
#include <memory>

namespace zelquo::platform {

std::vector<Ipv6Candidate> LocalIpv6Candidates() {
  constexpr ULONG kFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
  // The table can grow between the size query and the read; a few tries cover that.
  ULONG size = 16 * 1024;
  std::unique_ptr<unsigned char[]> buffer;
  ULONG result = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer = std::make_unique<unsigned char[]>(size);
    result = GetAdaptersAddresses(AF_INET6, kFlags, nullptr,
                                  reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()), &size);
  }
  std::vector<Ipv6Candidate> candidates;
  if (result != NO_ERROR) return candidates;

  for (const auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.get()); adapter != nullptr;
       adapter = adapter->Next) {
    for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
         unicast = unicast->Next) {
      const SOCKADDR* address = unicast->Address.lpSockaddr;
      if (address == nullptr || address->sa_family != AF_INET6 ||
          unicast->Address.iSockaddrLength < static_cast<INT>(sizeof(sockaddr_in6))) {
        continue;
      }
      Ipv6Candidate candidate;
      std::memcpy(candidate.address.data(), &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr,
                  candidate.address.size());
      // Wine reports every Ipv6IfIndex as 0; its IfIndex is the system's interface index.
      candidate.interface_index = adapter->Ipv6IfIndex != 0 ? adapter->Ipv6IfIndex : adapter->IfIndex;
      candidate.interface_up = adapter->OperStatus == IfOperStatusUp;
      candidate.interface_loopback = adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
      candidate.temporary = unicast->SuffixOrigin == IpSuffixOriginRandom;
      candidate.tentative = unicast->DadState == IpDadStateTentative || unicast->DadState == IpDadStateInvalid;
      candidate.dad_failed = unicast->DadState == IpDadStateDuplicate;
      candidate.deprecated = unicast->DadState == IpDadStateDeprecated;
      candidate.preferred_lifetime = unicast->PreferredLifetime;
      candidates.push_back(candidate);
    }
  }
  return candidates;
}

}  // namespace zelquo::platform
