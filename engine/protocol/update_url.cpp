#include "protocol/update_url.h"

namespace zelquo {

namespace {

std::string ApiBase(std::string_view api_host, std::string_view path_and_query) {
  std::string url = "http://";
  url += api_host;
  url += path_and_query;
  return url;
}

void AppendKey(std::string& url, std::string_view key, std::string_view value) {
  url += '&';
  url += key;
  url += '=';
  url += value;
}

// "&myip=" when the IPv4 address is sendable, then "&myipv6=" when there is an IPv6 address and
// the request's form carries one: always the version-4.43 account request, every other only
// when the IPv6 update is on.
void AppendAddresses(std::string& url, const UpdateRequest& request, bool form_has_ipv6) {
  if (IsSendableAddress(request.ipv4)) AppendKey(url, "myip", request.ipv4);
  if ((form_has_ipv6 || request.ipv6_update) && !request.ipv6.empty()) AppendKey(url, "myipv6", request.ipv6);
}

std::string BuildUpdateUrl443(const UpdateRequest& request, std::string_view api_host) {
  std::string url = ApiBase(api_host, "/nic/update?ver=4.43");
  if (request.kind == RequestKind::kAccount) {
    AppendKey(url, "username", request.user_name);
    AppendKey(url, "password", request.password_digest);
    if (!request.location.empty()) AppendKey(url, "location", request.location);
    AppendAddresses(url, request, /*form_has_ipv6=*/true);
  } else {
    AppendKey(url, "hostname", request.host_name);
    if (request.kind == RequestKind::kAlias) AppendKey(url, "alias", request.alias);
    AppendKey(url, "password", request.password_digest);
    AppendAddresses(url, request, /*form_has_ipv6=*/false);
  }
  if (request.first_update) url += "&uin=1";
  return url;
}

// Version 4.41 always says "uin=1", right after the version; it sends no location, and IPv6
// only with the IPv6 update on.
std::string BuildUpdateUrl441(const UpdateRequest& request, std::string_view api_host) {
  std::string url = ApiBase(api_host, "/nic/update?ver=4.41&uin=1");
  switch (request.kind) {
    case RequestKind::kAccount:
      AppendKey(url, "username", request.user_name);
      AppendKey(url, "password", request.password_digest);
      break;
    case RequestKind::kHost:
      AppendKey(url, "hostname", request.host_name);
      AppendKey(url, "password", request.password_digest);
      break;
    case RequestKind::kAlias:
      AppendKey(url, "hostname", request.host_name);
      AppendKey(url, "alias", request.alias);
      AppendKey(url, "password", request.password_digest);
      break;
    case RequestKind::kSingleHost:
      // Here the alias follows the password, and only when one was given.
      AppendKey(url, "hostname", request.host_name);
      AppendKey(url, "password", request.password_digest);
      if (!request.alias.empty()) AppendKey(url, "alias", request.alias);
      break;
  }
  AppendAddresses(url, request, /*form_has_ipv6=*/false);
  return url;
}

}  // namespace

bool IsSendableAddress(std::string_view ipv4) { return !ipv4.empty() && ipv4 != kDetectionAbort; }

std::string BuildUpdateUrl(const UpdateRequest& request, ProtocolVersion version, std::string_view api_host) {
  if (version == ProtocolVersion::k441 || request.kind == RequestKind::kSingleHost) {
    return BuildUpdateUrl441(request, api_host);
  }
  return BuildUpdateUrl443(request, api_host);
}

std::string BuildAccountCheckUrl(std::string_view user_name, std::string_view password_digest,
                                 std::string_view api_host) {
  std::string url = ApiBase(api_host, "/authcheck.asp?username=");
  url += user_name;
  AppendKey(url, "password", password_digest);
  return url;
}

std::string BuildLocationCheckUrl(std::string_view user_name, std::string_view password_digest,
                                  std::string_view location, std::string_view api_host) {
  std::string url = ApiBase(api_host, "/locationcheck.asp?username=");
  url += user_name;
  AppendKey(url, "password", password_digest);
  AppendKey(url, "location", location);
  return url;
}

std::optional<std::string> SignOffBase(int method, const std::array<std::string, 4>& octets,
                                       std::string_view api_host) {
  switch (method) {
    case 0:
      return ApiBase(api_host, "/nic/update?offline=yes");
    case 2:
      return ApiBase(api_host, "/nic/update?myip=0.0.0.0");
    case 3:
      return ApiBase(api_host, "/nic/update?myip=") + octets[0] + "." + octets[1] + "." + octets[2] + "." +
             octets[3];
    default:
      return std::nullopt;
  }
}

std::optional<std::string> ReadSignOffBase(const CSettingsFile& settings, std::string_view api_host) {
  return SignOffBase(settings.Read(keys::kSignOffMethod),
                     {settings.Read(keys::kSignOffOctet1), settings.Read(keys::kSignOffOctet2),
                      settings.Read(keys::kSignOffOctet3), settings.Read(keys::kSignOffOctet4)},
                     api_host);
}

std::string BuildSignOffUrl(std::string_view base, const SignOffRequest& request) {
  std::string url(base);
  if (request.kind == RequestKind::kAccount) {
    AppendKey(url, "username", request.user_name);
    AppendKey(url, "password", request.clear_password);
    AppendKey(url, "location", request.location);
    return url;
  }
  AppendKey(url, "password", request.clear_password);
  AppendKey(url, "hostname", request.host_name);
  if (request.kind == RequestKind::kAlias) AppendKey(url, "alias", request.alias);
  return url;
}

}  // namespace zelquo
