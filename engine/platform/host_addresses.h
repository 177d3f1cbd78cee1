// This machine's host name and the IPv4 addresses a name resolves to, through the system's
// resolver (on Windows the sockets layer, which answers for the machine's own name with the
// addresses of its network cards; on POSIX the C library's host database and DNS).
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

// Every IPv4 address of the name in the resolver's order; empty when it does not resolve.
[[nodiscard]] std::vector<Ipv4Address> ResolveIpv4Addresses(std::string_view host_name);

}  // namespace zelquo::platform
