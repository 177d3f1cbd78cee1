// Whether the tray program asks for its settings when it starts: a stored password never asks;
// without one it asks while the username, the first host name or the first alias is missing.
#pragma once

#include "settings/settings.h"

namespace zelquo::gui {

[[nodiscard]] bool NeedsSettingsPrompt(const CSettingsFile& settings);

}  // namespace zelquo::gui
