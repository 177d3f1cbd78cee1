// Server-side detection: ask the provider's IP-check servers which address a request comes from.
// QueryIpCheckServers goes through the HTTP helper; QueryIpCheckFrom writes its own request on a
// TCP connection whose local end is bound to one of this machine's addresses.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "http/first_line_reader.h"
#include "http/http_get_line.h"

namespace zelquo {

struct IpCheckAttempt {
  std::string host;  // a host name or a literal IPv4 address
  std::uint16_t port = 0;
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

// Each receive and send of QueryIpCheckFrom gives up after this long without progress, and the
// whole exchange after WholeExchangeLimit of it.
inline constexpr std::chrono::seconds kIpCheckFromTimeout{20};

// The primary IP-check host on 8245: the only server QueryIpCheckFrom asks.
[[nodiscard]] IpCheckAttempt ProductionIpCheckFromServer();

// The external address as seen through one local address: a raw HTTP/1.1 request from a TCP
// socket bound to local_address. The address (digits and dots only, possibly empty) or "abort".
[[nodiscard]] std::string QueryIpCheckFrom(std::string_view local_address);
[[nodiscard]] std::string QueryIpCheckFrom(std::string_view local_address, const IpCheckAttempt& server,
                                           std::chrono::seconds timeout);

// The machine's public IPv6 address as the IP-check servers see it: the same attempts in the
// same order, each reached over IPv6 only (a server by name through its AAAA addresses; a literal
// IPv4 server is passed over). The first answer "ip" + a global unicast IPv6 address gives that
// address in canonical form; an answer of any other kind is passed over as no answer. Empty text
// when no attempt gave one.
[[nodiscard]] std::string QueryIpv6CheckServers(
    const std::vector<IpCheckAttempt>& attempts = ProductionIpCheckAttempts(),
    std::chrono::milliseconds timeout = kHttpGetLineTimeout);

namespace detail {

// The request QueryIpv6CheckServers sends: HTTP/1.0, so the server closes after its answer.
[[nodiscard]] std::string Ipv6CheckRequest(std::string_view host);

// The canonical IPv6 text of a whole HTTP reply whose status is 200 and whose body's first line
// is "ip" + the text of a global unicast IPv6 address; empty text for every other reply.
[[nodiscard]] std::string Ipv6FromIpCheckReply(std::string_view reply);

// The request QueryIpCheckFrom sends, with the server's host name in its one header.
[[nodiscard]] std::string IpCheckFromRequest(std::string_view host);

// Collects the answer of QueryIpCheckFrom byte by byte. A CR LF pair empties the buffer and
// leaves its LF in it; a lone CR is dropped. So the buffer ends as a line feed followed by the
// text after the last CR LF (or as the whole answer when it has none). Once the buffer holds
// kMaxFirstLineLength bytes it is Full() and grows no more (a CR LF still starts it afresh).
class CIpCheckAnswerBuffer {
 public:
  void Feed(char byte);
  void Feed(std::string_view bytes) {
    for (const char byte : bytes) Feed(byte);
  }
  [[nodiscard]] const std::string& Text() const { return text_; }
  [[nodiscard]] bool Full() const { return text_.size() >= kMaxFirstLineLength; }

 private:
  std::string text_;
  bool after_cr_ = false;
};

// What follows the first "ip" of the buffer when that is digits and dots only (possibly empty);
// otherwise, and for an empty buffer or one without "ip", "abort".
[[nodiscard]] std::string AddressFromIpCheckAnswer(std::string_view buffer);

}  // namespace detail

}  // namespace zelquo
