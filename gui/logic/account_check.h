// Save in the settings window: the username, password and location fields are checked locally,
// the password and location with the provider, and stored or refused. Every message goes to
// show_message, which returns once the user has read it.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "http/http_get_line.h"
#include "logic/page_context.h"
#include "provider_config.h"
#include "settings/settings.h"

namespace zelquo::gui {

// 4 to 20 characters, each a digit or an ASCII letter.
[[nodiscard]] bool IsValidAccountName(std::string_view text);
// 1 to 50 characters, each a digit or an ASCII letter.
[[nodiscard]] bool IsValidLocation(std::string_view text);

struct AccountFields {
  std::string username;
  std::string password;  // as typed, unscrambled
  std::string location;
};

// What Save shows when a field breaks its local rule, in the order it checks them.
inline constexpr char kInvalidUsernameMessage[] = "Please enter a valid username - 4-20 characters (0-9, a-z, A-Z)";
inline constexpr char kInvalidPasswordMessage[] = "Please enter a valid password - 4-20 characters (0-9, a-z, A-Z)";
inline constexpr char kInvalidLocationMessage[] = "Please enter a valid location - 1-50 characters (0-9, a-z, A-Z)";

// The messages Save would show for fields that break their local rules (an empty field breaks
// none), in Save's order; empty when the provider is the only one left to ask. A caller that
// must refuse bad input without writing anything asks this before SaveAccount.
[[nodiscard]] std::vector<std::string> LocalAccountRefusals(const AccountFields& fields);

// The page context with the provider's host and the time-out of the checks.
struct AccountCheckContext : PageContext {
  explicit AccountCheckContext(const CSettingsFile& settings_file) : PageContext(settings_file) {}
  explicit AccountCheckContext(PageContext page) : PageContext(std::move(page)) {}

  // Seams with the production defaults.
  std::string api_host = provider::kUpdateApiHost;
  std::chrono::milliseconds timeout = kHttpGetLineTimeout;
};

// Runs Save's steps in order, then stores their outcome as one change of the settings file. A
// password or location the provider refuses is emptied in `fields` (the window then shows the
// emptied field) and in the settings file. When no answer came at all (an "Error" text), the
// stored value is kept, the field stays as typed, and the message says that the check could not
// be made.
void SaveAccount(const AccountCheckContext& context, AccountFields& fields);

}  // namespace zelquo::gui
