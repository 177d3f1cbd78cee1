#include "http/http_url.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "text/equals_ignoring_case.h"

namespace zelquo {

namespace {

bool IsHostByte(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '-' || c == '_';
}

bool IsIpv6Byte(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.';
}

bool HasUnsafeByte(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7f;
  });
}

std::string_view SchemePrefix(UrlScheme scheme) { return scheme == UrlScheme::kHttps ? "https://" : "http://"; }

// Host and optional ":port" of the authority, user information already dropped.
bool SplitHostAndPort(std::string_view authority, HttpUrl& url) {
  std::string_view port_text;
  if (authority.starts_with('[')) {
    const auto close = authority.find(']');
    if (close == std::string_view::npos) return false;
    const std::string_view address = authority.substr(1, close - 1);
    if (address.empty() || !std::all_of(address.begin(), address.end(), IsIpv6Byte)) return false;
    url.host = address;
    const std::string_view rest = authority.substr(close + 1);
    if (!rest.empty() && !rest.starts_with(':')) return false;
    if (!rest.empty()) port_text = rest.substr(1);
  } else {
    const auto colon = authority.find(':');
    const std::string_view host = authority.substr(0, colon);
    if (host.empty() || !std::all_of(host.begin(), host.end(), IsHostByte)) return false;
    url.host = host;
    if (colon != std::string_view::npos) port_text = authority.substr(colon + 1);
  }
  if (port_text.empty()) return true;  // "host:" names the default port, as "host" does
  unsigned port = 0;
  const auto [end, error] = std::from_chars(port_text.data(), port_text.data() + port_text.size(), port);
  if (error != std::errc() || end != port_text.data() + port_text.size() || port == 0 || port > 65535) return false;
  url.port = static_cast<std::uint16_t>(port);
  url.names_port = true;
  return true;
}

}  // namespace

std::optional<HttpUrl> CrackHttpUrl(std::string_view text, UrlScheme scheme) {
  const std::string_view prefix = SchemePrefix(scheme);
  if (!EqualsIgnoringCase(text.substr(0, prefix.size()), prefix) || HasUnsafeByte(text)) return std::nullopt;
  text.remove_prefix(prefix.size());
  text = text.substr(0, text.find('#'));
  const auto authority_end = text.find_first_of("/?");
  std::string_view authority = text.substr(0, authority_end);
  HttpUrl url;
  url.port = kDefaultPort(scheme);
  if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
    url.user_info = authority.substr(0, at);
    authority.remove_prefix(at + 1);
  }
  if (!SplitHostAndPort(authority, url)) return std::nullopt;
  const std::string_view rest = authority_end == std::string_view::npos ? std::string_view() : text.substr(authority_end);
  url.target = rest.starts_with('/') ? std::string(rest) : "/" + std::string(rest);
  return url;
}

std::string HttpAuthority(std::string_view host, std::uint16_t port, UrlScheme scheme) {
  std::string authority = host.find(':') == std::string_view::npos ? std::string(host) : "[" + std::string(host) + "]";
  if (port != kDefaultPort(scheme)) authority += ":" + std::to_string(port);
  return authority;
}

}  // namespace zelquo
