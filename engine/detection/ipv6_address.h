// IPv6 addresses as the engine handles them: the text form it sends and records, the parse of a
// text an IP-check server answers with, and the choice of one of this machine's own addresses.
// Reading the addresses from the system is platform::LocalIpv6Candidates' job.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelquo {

// Sixteen bytes in network order.
using Ipv6Bytes = std::array<std::uint8_t, 16>;

// The canonical text (lower-case hexadecimal, no leading zeros, the longest run of two or more
// zero groups written "::", the first such run on a tie).
[[nodiscard]] std::string Ipv6Text(const Ipv6Bytes& address);

// The bytes of a full IPv6 address text ("::" shortening and a dotted IPv4 tail allowed; no zone,
// no prefix length, no brackets, nothing before or after); nothing for any other text.
[[nodiscard]] std::optional<Ipv6Bytes> ParseIpv6Text(std::string_view text);

// In 2000::/3, and so never loopback, link-local, unique-local, multicast or IPv4-mapped.
[[nodiscard]] constexpr bool IsGlobalUnicast(const Ipv6Bytes& address) { return (address[0] & 0xe0) == 0x20; }

// One address of one of this machine's interfaces, as the system reports it.
struct Ipv6Candidate {
  Ipv6Bytes address{};
  std::uint32_t interface_index = 0;
  bool interface_up = false;
  bool interface_loopback = false;
  bool temporary = false;   // a privacy address, replaced every day or so
  bool tentative = false;   // duplicate detection still running
  bool dad_failed = false;  // duplicate detection found the address in use elsewhere
  bool deprecated = false;  // the system no longer picks it for new connections
  std::uint32_t preferred_lifetime = 0xffffffff;  // seconds; 0xffffffff for ever
};

// A global unicast address on an interface that is up and not loopback, neither tentative, failed nor
// deprecated, with a preferred lifetime left.
[[nodiscard]] bool IsUsableIpv6Candidate(const Ipv6Candidate& candidate);

// The address to publish, as text, or empty text when no candidate is usable and not ignored.
// Stable addresses win over temporary ones; among several of the same kind the longest preferred
// lifetime wins, then the lowest interface index, then the lowest address, so the choice never
// depends on the order the system lists them in. `ignored` is asked with each address's text.
[[nodiscard]] std::string ChooseIpv6Address(const std::vector<Ipv6Candidate>& candidates,
                                            const std::function<bool(std::string_view)>& ignored = {});

}  // namespace zelquo
