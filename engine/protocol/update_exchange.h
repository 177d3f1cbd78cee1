// Sending provider requests and the settings writes that answers call for: the port from the
// "serverport" setting, the location check that drops a refused location, and forgetting a
// refused password. Building URLs is update_url.h's job, reading answers answer_table.h's.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "http/http_get_line.h"
#include "provider_config.h"
#include "settings/settings.h"

namespace zelquo {

// The stored "serverport"; 80 when it is absent or is no TCP port (0, negative, above 65535).
[[nodiscard]] std::uint16_t ReadServerPort(const CSettingsFile& settings);

// The URL as it goes out when "usehttps" is on: its "http://" (the form the URL builders make)
// becomes "https://". Any other URL is returned as it is.
[[nodiscard]] std::string SecureFormOf(std::string_view url);

// Sends an update, account-check or location-check URL with HttpGetLine to
// ReadServerPort(settings), or, when "usehttps" is on, in its SecureFormOf with HttpsGetLine to
// port 443 ("serverport" does not apply then), and returns the answer text: the first line of a 200 answer or a text beginning "Error". A URL
// with a control byte or DEL in it (a value typed with one) is not sent: it would break the
// request line or add header lines, so it gives kErrorMalformedUrl. A space goes out as %20.
[[nodiscard]] std::string SendUpdateRequest(const CSettingsFile& settings, std::string_view url,
                                            std::chrono::milliseconds timeout = kHttpGetLineTimeout);

struct LocationCheckResult {
  bool sent = false;     // false when there was no location to check
  std::string answer;
  bool refused = false;  // the provider answered "false" or "invalid parameters"
};

// The version-4.43 location check. Sent only when `location` is non-empty; callers check the
// password first. A refused location is written empty in the settings; the caller then sends
// its account request without one. Any other answer, an HTTP failure included, keeps it.
[[nodiscard]] LocationCheckResult CheckLocation(const CSettingsFile& settings, std::string_view user_name,
                                                std::string_view password_digest, std::string_view location,
                                                std::string_view api_host = provider::kUpdateApiHost,
                                                std::chrono::milliseconds timeout = kHttpGetLineTimeout);

// SideEffect::kForgetPassword: the stored password is written empty, so the next cycle stops
// before sending anything until the user enters it again. Only the password that was sent is
// forgotten: when the stored value is no longer sent_password (as stored, scrambled), the user
// has entered another one meanwhile and it is kept. True when the password was emptied.
bool ForgetPassword(const CSettingsFile& settings, std::string_view sent_password);

}  // namespace zelquo
