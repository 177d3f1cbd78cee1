// Name look-up for the HTTP client: getaddrinfo with a deadline, the addresses of a name kept for
// a few seconds (a pass sends one request per host name to the same server; a failed look-up is
// never kept), and IPv4 addresses before IPv6 ones, since the provider learns the machine's IPv4
// address from the connection.
#pragma once

#include <sys/socket.h>

#include <chrono>
#include <string>
#include <vector>

namespace zelquo::platform {

struct Address {
  sockaddr_storage storage{};
  socklen_t length = 0;
};
using Addresses = std::vector<Address>;

// The addresses of host (a name, or a literal address, which needs no waiting), port 0; empty
// when it has none or the look-up outlasts `until`.
[[nodiscard]] Addresses LookUpHost(const std::string& host, std::chrono::steady_clock::time_point until);

}  // namespace zelquo::platform
