// This machine's host name and own IPv4 addresses, and the IPv4 addresses a name resolves to
// through the system's resolver (on Windows the sockets layer, on POSIX the C library's host
// database and DNS).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelquo::platform {

// Four bytes in network order: the first byte is the first number of the dotted form.
using Ipv4Address = std::array<std::uint8_t, 4>;

// The host name, when it fits in 127 bytes; nothing when the system cannot tell it.
[[nodiscard]] std::optional<std::string> LocalHostName();

// The machine's own IPv4 addresses. Windows resolves the host name, which the sockets layer
// answers with the addresses of the network cards. POSIX cannot ask the resolver: the hosts file
// of a stock Debian or Ubuntu install maps the host name to 127.0.1.1. It lists the addresses of
// the cards that are up instead, loopback ones only when there are no others.
[[nodiscard]] std::vector<Ipv4Address> LocalIpv4Addresses();

// Every IPv4 address of the name in the resolver's order; empty when it does not resolve.
[[nodiscard]] std::vector<Ipv4Address> ResolveIpv4Addresses(std::string_view host_name);

}  // namespace zelquo::platform
