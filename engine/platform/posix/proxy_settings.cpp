#include "platform/posix/proxy_settings.h"

#include <cctype>
#include <cstdlib>

#include "http/http_url.h"
#include "text/equals_ignoring_case.h"

namespace zelquo::platform {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      decoded.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      decoded.push_back(text[i]);
    }
  }
  return decoded;
}

// "[http://][user[:password]@]host[:port][/]"; nothing for another scheme or a setting that is
// no URL.
std::optional<HttpProxy> ParseProxySetting(std::string_view setting) {
  std::string url(setting);
  const auto scheme_end = url.find("://");
  if (scheme_end == std::string::npos) {
    url = "http://" + url;
  } else if (!EqualsIgnoringCase(url.substr(0, scheme_end), "http")) {
    return std::nullopt;
  }
  const std::optional<HttpUrl> cracked = CrackHttpUrl(url);
  if (!cracked) return std::nullopt;
  HttpProxy proxy;
  proxy.host = cracked->host;
  if (cracked->names_port) proxy.port = cracked->port;
  proxy.basic_credentials = PercentDecoded(cracked->user_info);
  return proxy;
}

std::string ReadEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string FirstSet(const EnvironmentReader& read_variable, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    std::string value = read_variable(name);
    if (!value.empty()) return value;
  }
  return {};
}

}  // namespace

bool IsExemptFromProxy(std::string_view host, std::string_view no_proxy) {
  while (!no_proxy.empty()) {
    const auto end = no_proxy.find_first_of(", ");
    std::string_view entry = no_proxy.substr(0, end);
    no_proxy = end == std::string_view::npos ? std::string_view() : no_proxy.substr(end + 1);
    if (entry == "*") return true;
    while (entry.starts_with('.')) entry.remove_prefix(1);
    if (entry.ends_with('.')) entry.remove_suffix(1);
    if (entry.empty()) continue;
    if (EqualsIgnoringCase(host, entry)) return true;
    if (host.size() > entry.size() && host[host.size() - entry.size() - 1] == '.' &&
        EqualsIgnoringCase(host.substr(host.size() - entry.size()), entry)) {
      return true;
    }
  }
  return false;
}

ProxyChoice ChooseProxy(std::string_view host, const EnvironmentReader& read_variable, UrlScheme scheme) {
  const std::string setting =
      scheme == UrlScheme::kHttps ? FirstSet(read_variable, {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
                                  : FirstSet(read_variable, {"http_proxy", "all_proxy", "ALL_PROXY"});
  if (setting.empty() || IsExemptFromProxy(host, FirstSet(read_variable, {"no_proxy", "NO_PROXY"}))) {
    return {};
  }
  const std::optional<HttpProxy> proxy = ParseProxySetting(setting);
  if (!proxy) return {ProxyChoice::Kind::kUnusable, {}};
  return {ProxyChoice::Kind::kHttpProxy, *proxy};
}

ProxyChoice ChooseProxy(std::string_view host, UrlScheme scheme) { return ChooseProxy(host, ReadEnvironment, scheme); }

}  // namespace zelquo::platform
