// The URLs of the provider's update API: update requests of both protocol versions, the location
// check and the sign-off requests. Values are appended exactly as they are, with no
// percent-encoding: the provider reads them that way. Sending is update_exchange.h's job.
//
// Every builder takes the API host as its last parameter, defaulting to the provider's; tests
// name a stand-in server there instead.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "address_marker.h"
#include "protocol/update_request.h"
#include "provider_config.h"
#include "settings/settings.h"

namespace zelquo {

// True when an address goes into "&myip=": neither empty nor kDetectionAbort.
[[nodiscard]] bool IsSendableAddress(std::string_view ipv4);

// The update URL for the request. A single-host request has only its version-4.41 form, which is
// built whatever version is asked for.
[[nodiscard]] std::string BuildUpdateUrl(const UpdateRequest& request, ProtocolVersion version,
                                         std::string_view api_host = provider::kUpdateApiHost);

// The account check of the settings window's Save: user name and password digest as typed.
[[nodiscard]] std::string BuildAccountCheckUrl(std::string_view user_name, std::string_view password_digest,
                                               std::string_view api_host = provider::kUpdateApiHost);

[[nodiscard]] std::string BuildLocationCheckUrl(std::string_view user_name, std::string_view password_digest,
                                                std::string_view location,
                                                std::string_view api_host = provider::kUpdateApiHost);

// The sign-off base for a "signoffmethod" value and the four "signoff..." octet texts, or nothing
// for method 1 and every value without a base: then no sign-off request is sent.
[[nodiscard]] std::optional<std::string> SignOffBase(int method, const std::array<std::string, 4>& octets,
                                                     std::string_view api_host = provider::kUpdateApiHost);
// The same from the stored "signoffmethod" and octets.
[[nodiscard]] std::optional<std::string> ReadSignOffBase(const CSettingsFile& settings,
                                                         std::string_view api_host = provider::kUpdateApiHost);

// One sign-off request. It carries the clear-text password, not its digest.
struct SignOffRequest {
  RequestKind kind = RequestKind::kAccount;  // account, host or alias
  std::string user_name;
  std::string clear_password;
  std::string location;  // account form; its key is sent even when empty
  std::string host_name;
  std::string alias;
};

[[nodiscard]] std::string BuildSignOffUrl(std::string_view base, const SignOffRequest& request);

}  // namespace zelquo
