// The Connection Type page's logic: the detection method, the static address, the port, IPv6
// and HTTPS options as the page shows them, and what its Save writes.
#pragma once

#include <array>

#include "logic/page_context.h"

namespace zelquo::gui {

// The stored detection methods. The network-card method has no control on the page: with it
// stored no choice shows, and Save keeps it.
enum class IpMethodChoice { kClientSide = 0, kServerSide = 1, kBothSides = 2, kStaticAddress = 3, kNetworkCard = 4 };

inline constexpr int kAlternativeUpdatePort = 8245;
inline constexpr int kDefaultUpdatePort = 80;

struct ConnectionType {
  IpMethodChoice method = IpMethodChoice::kServerSide;
  std::array<int, 4> static_address{};  // first octet first
  bool use_alternative_port = false;
  bool use_https = false;  // the provider's requests over HTTPS to 443; the port option then does not apply
  bool update_ipv6 = false;  // the "updateipv6" flag
};

// An unknown stored method reads as server side.
[[nodiscard]] ConnectionType ReadConnectionType(const CSettingsFile& settings);
// Writes the method, then the static address (static method) or an empty "ipaddress" (every
// other method), then the port, then the IPv6 flag (only when it is on or was on, so that a file
// that never had it stays as it was; switching it off also empties "updatedipv6", which would
// otherwise go on showing an address nobody keeps current), then "usehttps" where it changes (a
// file that never had it on does not get the key), then requests a fresh update.
void SaveConnectionType(const PageContext& context, const ConnectionType& choice);

}  // namespace zelquo::gui
