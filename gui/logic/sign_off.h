// Exit's sign-off: tells the provider where the stored names should point while the program is
// off (an offline page, 0.0.0.0, a fixed address, or no change), one request per name or one for
// the whole account. Hiding the icon and closing the frame around it are the application's.
//
// The requests carry the clear-text password, as the provider's sign-off requires, so nothing
// here logs or shows a URL, an answer or a failure.
#pragma once

#include <chrono>
#include <string>

#include "http/http_get_line.h"
#include "provider_config.h"
#include "settings/settings.h"

namespace zelquo::gui {

struct SignOffContext {
  explicit SignOffContext(const CSettingsFile& settings_file) : settings(settings_file) {}

  const CSettingsFile& settings;
  // Seams with the production defaults. The host may carry a ":port"; the stored "serverport"
  // is never used.
  std::string api_host = provider::kUpdateApiHost;
  std::chrono::milliseconds timeout = kOpenUrlLineTimeout;
};

// Reads the sign-off choice and, unless it sends nothing, sends the account request (only when
// the user name and password are set and no host name or alias is stored), then every host
// request, then every alias request, each in ascending order, one after another on this thread.
// Answers are ignored and a failed request is skipped: the sign-off always ends, at the latest
// after each request's time-outs.
void SignOff(const SignOffContext& context);

}  // namespace zelquo::gui
