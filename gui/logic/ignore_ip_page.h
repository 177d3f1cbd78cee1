// The Ignore IP List page's logic: the list as the page shows it, and what Add IP and Remove IP
// write. Entries are stored as typed; the address filters decide what they match.
#pragma once

#include <string>
#include <string_view>

#include "logic/page_context.h"

namespace zelquo::gui {

// Every entry followed by "\r\n", ready for a multi-line edit.
[[nodiscard]] std::string IgnoreListText(const CSettingsFile& settings);
// Appends `entry` and requests a fresh update. An empty entry is not stored: it would match
// every address and stop every update.
void AddIgnoredAddress(const PageContext& context, std::string_view entry);
// Removes the first entry that is exactly `entry` (later entries move down), then requests a
// fresh update.
void RemoveIgnoredAddress(const PageContext& context, std::string_view entry);

}  // namespace zelquo::gui
