#include "account_check.h"

#include <algorithm>
#include <utility>

#include "crypto/md5.h"
#include "crypto/scramble.h"
#include "protocol/update_exchange.h"
#include "protocol/update_url.h"

namespace zelquo::gui {

namespace {

bool IsLetterOrDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool LengthAndCharactersFit(std::string_view text, std::size_t shortest, std::size_t longest) {
  return text.size() >= shortest && text.size() <= longest && std::all_of(text.begin(), text.end(), IsLetterOrDigit);
}

// Only the exact word confirms: "True", "false" and an empty answer refuse.
bool Confirmed(const std::string& answer) { return answer == "true"; }

// The request's own failure (no network, the provider unreachable, a proxy's error page): the
// provider said nothing, so it refused nothing either.
bool NoAnswerCame(const std::string& answer) { return answer.rfind("Error", 0) == 0; }

// What Save stores, in the order of its steps. The provider's checks take minutes at worst; the
// fields are stored together after them, so that no update pass in between sends a new user name
// with the old password.
using AccountWrites = std::vector<std::pair<keys::TextKey, std::string>>;

void SaveUsername(const AccountCheckContext& context, const AccountFields& fields, AccountWrites& writes) {
  if (fields.username.empty() || IsValidAccountName(fields.username)) {
    writes.emplace_back(keys::kUsername, fields.username);
  } else {
    context.ShowMessage(kInvalidUsernameMessage);
  }
}

void SavePassword(const AccountCheckContext& context, AccountFields& fields, AccountWrites& writes) {
  if (fields.password.empty()) {
    writes.emplace_back(keys::kPassword, ScrambleText(""));
    return;
  }
  if (!IsValidAccountName(fields.password)) {
    context.ShowMessage(kInvalidPasswordMessage);
    return;
  }
  const std::string url = BuildAccountCheckUrl(fields.username, Md5Hex(fields.password), context.api_host);
  const std::string answer = SendUpdateRequest(context.settings, url, context.timeout);
  if (Confirmed(answer)) {
    writes.emplace_back(keys::kPassword, ScrambleText(fields.password));
    return;
  }
  if (NoAnswerCame(answer)) {
    context.ShowMessage("Username " + fields.username + " and password could not be checked: " + answer +
                        " The stored password was kept.");
    return;
  }
  context.ShowMessage("Username " + fields.username + " or password is invalid! Please check the settings and try again.");
  writes.emplace_back(keys::kPassword, "");
  fields.password.clear();
}

void SaveLocation(const AccountCheckContext& context, AccountFields& fields, AccountWrites& writes) {
  if (fields.location.empty()) {
    writes.emplace_back(keys::kLocation, "");
    return;
  }
  if (!IsValidLocation(fields.location)) {
    context.ShowMessage(kInvalidLocationMessage);
    return;
  }
  if (!IsValidAccountName(fields.username) || !IsValidAccountName(fields.password)) return;
  const std::string url =
      BuildLocationCheckUrl(fields.username, Md5Hex(fields.password), fields.location, context.api_host);
  const std::string answer = SendUpdateRequest(context.settings, url, context.timeout);
  if (Confirmed(answer)) {
    writes.emplace_back(keys::kLocation, fields.location);
    return;
  }
  if (NoAnswerCame(answer)) {
    context.ShowMessage("Location '" + fields.location + "' could not be checked: " + answer +
                        " The stored location was kept.");
    return;
  }
  writes.emplace_back(keys::kLocation, "");
  context.ShowMessage("Location '" + fields.location +
                    "' could not be found. You can set up locations in the web control panel or leave the field "
                    "empty if you are not using this feature.");
  fields.location.clear();
}

}  // namespace

bool IsValidAccountName(std::string_view text) { return LengthAndCharactersFit(text, 4, 20); }

bool IsValidLocation(std::string_view text) { return LengthAndCharactersFit(text, 1, 50); }

std::vector<std::string> LocalAccountRefusals(const AccountFields& fields) {
  std::vector<std::string> refusals;
  if (!fields.username.empty() && !IsValidAccountName(fields.username)) refusals.emplace_back(kInvalidUsernameMessage);
  if (!fields.password.empty() && !IsValidAccountName(fields.password)) refusals.emplace_back(kInvalidPasswordMessage);
  if (!fields.location.empty() && !IsValidLocation(fields.location)) refusals.emplace_back(kInvalidLocationMessage);
  return refusals;
}

void SaveAccount(const AccountCheckContext& context, AccountFields& fields) {
  AccountWrites writes;
  SaveUsername(context, fields, writes);
  SavePassword(context, fields, writes);
  SaveLocation(context, fields, writes);
  (void)context.settings.Change([&](CSettingsChange& change) {
    for (const auto& [key, value] : writes) change.Write(key, value);
  });
  context.RequestFreshUpdate();
}

}  // namespace zelquo::gui
