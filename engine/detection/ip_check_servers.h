// Server-side detection: ask the provider's IP-check servers which address a request comes from.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "http/http_get_line.h"

namespace zelquo {

struct IpCheckAttempt {
  std::string host;  // a host name or a literal IPv4 address
  std::uint16_t port;
};

// The eight attempts in their fixed order: each of the four servers on 8245, then on 80.
[[nodiscard]] std::vector<IpCheckAttempt> ProductionIpCheckAttempts();

// The first line of the first answer that is neither empty nor begins with "Error", or empty
// text when no attempt gave one. The text is not checked for the "ip" prefix.
[[nodiscard]] std::string QueryIpCheckServers(
    const std::vector<IpCheckAttempt>& attempts = ProductionIpCheckAttempts(),
    std::chrono::milliseconds timeout = kHttpGetLineTimeout);

// Every character is one of "0123456789."; empty text counts as such.
[[nodiscard]] bool IsDottedDigits(std::string_view text);

inline constexpr std::chrono::seconds kIpCheckFromTimeout{20};

// The external address as seen through one local address: a raw HTTP/1.1 request from a TCP
// socket bound to local_address, to the primary IP-check host on 8245 by default. The address
// (digits and dots only, possibly empty) or "abort".
[[nodiscard]] std::string QueryIpCheckFrom(std::string_view local_address);
[[nodiscard]] std::string QueryIpCheckFrom(std::string_view local_address, const IpCheckAttempt& server,
                                           std::chrono::seconds timeout);

}  // namespace zelquo
