// The SignOff Settings page's logic: what the program does with the host names when it exits,
// as the page shows it and as its Save writes it. The exit itself reads the same keys.
#pragma once

#include <array>

#include "settings/settings.h"

namespace zelquo::gui {

enum class SignOffChoice { kOfflineMessage = 0, kNoChange = 1, kZeroAddress = 2, kGivenAddress = 3 };

struct SignOffSettings {
  SignOffChoice choice = SignOffChoice::kNoChange;
  std::array<int, 4> address{};  // first octet first
};

// An unknown stored choice reads as "no change".
[[nodiscard]] SignOffSettings ReadSignOffSettings(const CSettingsFile& settings);
// Writes the choice (and the address for kGivenAddress), then always an empty "ipaddress".
// The update cycles are not affected, so no fresh update is needed.
void SaveSignOffSettings(const CSettingsFile& settings, const SignOffSettings& sign_off);

}  // namespace zelquo::gui
