// Splits an absolute "http://" (or, where the caller asks for it, "https://") URL into what an
// HTTP/1.1 client needs: the host to connect to, the port the URL names and the request target.
// Only the forms this client sends are taken; everything else is refused before any traffic.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zelquo {

enum class UrlScheme { kHttp, kHttps };

inline constexpr std::uint16_t kDefaultPort(UrlScheme scheme) { return scheme == UrlScheme::kHttps ? 443 : 80; }

struct HttpUrl {
  std::string host;           // a name or dotted address, or an IPv6 address without brackets
  std::uint16_t port = 80;    // the URL's own port, the scheme's default when it names none
  bool names_port = false;    // the URL gave a port (":80" included)
  std::string user_info;      // what came before an '@' in the authority, as written
  std::string target;         // path and query as written, "/" when the URL has neither
};

// Nothing for a URL that is not of the given scheme (any letter case) with a host; whose port is not a
// number from 1 to 65535; whose host holds other than letters, digits, '.', '-' and '_' (or is a
// bracketed IPv6 address); or that holds a control byte or a space anywhere, which would let the
// URL split the request it travels in. A fragment after a '#' is not part of the target.
[[nodiscard]] std::optional<HttpUrl> CrackHttpUrl(std::string_view url, UrlScheme scheme = UrlScheme::kHttp);

// The text of a Host header or an absolute-form target's authority: the host (an IPv6 address in
// brackets), followed by ":port" unless the port is the scheme's default.
[[nodiscard]] std::string HttpAuthority(std::string_view host, std::uint16_t port,
                                        UrlScheme scheme = UrlScheme::kHttp);

}  // namespace zelquo
