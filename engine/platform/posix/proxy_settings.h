// The POSIX form of the system's proxy settings: the environment variables that command-line HTTP
// clients read. For an http URL that is "http_proxy" (lower case only: a CGI program's
// HTTP_PROXY may come from a request header), for an https URL "https_proxy" or "HTTPS_PROXY",
// else "all_proxy" or "ALL_PROXY"; "no_proxy" or "NO_PROXY" lists hosts reached directly. An
// https request goes through an http proxy by CONNECT.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "http/http_url.h"

namespace zelquo::platform {

struct HttpProxy {
  std::string host;
  std::uint16_t port = 1080;     // the port such clients assume when the setting names none
  std::string basic_credentials;  // "user:password" from the setting, percent-decoded, or empty
};

struct ProxyChoice {
  enum class Kind { kDirect, kHttpProxy, kUnusable } kind = Kind::kDirect;
  HttpProxy proxy;  // for kHttpProxy
};

// Reads a variable; empty text when it is not set. The default reads the process environment.
using EnvironmentReader = std::function<std::string(const char* name)>;

// The proxy for a request to `host`. kUnusable when the setting names a proxy this client cannot
// speak (socks, https) or cannot read: the request then fails rather than bypass the proxy.
[[nodiscard]] ProxyChoice ChooseProxy(std::string_view host, const EnvironmentReader& read_variable,
                                      UrlScheme scheme = UrlScheme::kHttp);
[[nodiscard]] ProxyChoice ChooseProxy(std::string_view host, UrlScheme scheme = UrlScheme::kHttp);

// True when `host` is named by the no-proxy list: "*", the host itself, or a domain it lies in
// (entries may begin with a dot); letter case is ignored, entries are separated by commas or
// spaces.
[[nodiscard]] bool IsExemptFromProxy(std::string_view host, std::string_view no_proxy);

}  // namespace zelquo::platform
