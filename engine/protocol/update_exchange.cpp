#include "protocol/update_exchange.h"

#include <algorithm>

#include "protocol/update_url.h"

namespace zelquo {

namespace {

// A space is fine: HttpGetLine sends it as %20. Control bytes and DEL are not, since a CR or LF
// would end the request line and start header lines of the value's choosing.
bool IsSafeInRequestLine(std::string_view url) {
  return std::none_of(url.begin(), url.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
  });
}

}  // namespace

std::uint16_t ReadServerPort(const CSettingsFile& settings) {
  const int port = settings.Read(keys::kServerPort);
  if (port < 1 || port > 65535) return static_cast<std::uint16_t>(keys::kServerPort.fallback);
  return static_cast<std::uint16_t>(port);
}

std::string SecureFormOf(std::string_view url) {
  constexpr std::string_view kPlain = "http://";
  if (!url.starts_with(kPlain)) return std::string(url);
  return "https://" + std::string(url.substr(kPlain.size()));
}

std::string SendUpdateRequest(const CSettingsFile& settings, std::string_view url,
                              std::chrono::milliseconds timeout) {
  if (!IsSafeInRequestLine(url)) return kErrorMalformedUrl;
  if (settings.ReadBool(keys::kUseHttps.name, false)) return HttpsGetLine(SecureFormOf(url), timeout);
  return HttpGetLine(url, ReadServerPort(settings), timeout);
}

LocationCheckResult CheckLocation(const CSettingsFile& settings, std::string_view user_name,
                                  std::string_view password_digest, std::string_view location,
                                  std::string_view api_host, std::chrono::milliseconds timeout) {
  LocationCheckResult result;
  if (location.empty()) return result;
  result.sent = true;
  result.answer =
      SendUpdateRequest(settings, BuildLocationCheckUrl(user_name, password_digest, location, api_host), timeout);
  result.refused = result.answer == "false" || result.answer == "invalid parameters";
  if (result.refused) settings.Write(keys::kLocation, "");
  return result;
}

bool ForgetPassword(const CSettingsFile& settings, std::string_view sent_password) {
  // The test and the write are one change, so a password stored between them cannot be lost.
  bool forgot = false;
  const bool written = settings.Change([&](CSettingsChange& change) {
    if (change.Read(keys::kPassword) != sent_password) return;
    change.Write(keys::kPassword, "");
    forgot = true;
  });
  return written && forgot;
}

}  // namespace zelquo
