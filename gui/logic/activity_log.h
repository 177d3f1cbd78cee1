// The tray program's activity log as text: entries are prepended (newest first) and the log is
// trimmed to its limit by dropping whole entries from the end. Locking and the clock are the
// caller's (gui_state.h).
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

namespace zelquo::gui {

inline constexpr std::size_t kActivityLogLimit = 3000;

// "hh:mm:ss AM>" + text + "\r\n" (12-hour clock, two digits each).
[[nodiscard]] std::string FormatActivityEntry(const std::tm& local_time, std::string_view text);

// Puts entry in front of log, then trims it: while the log is over the limit, the text from its
// last "\n" on is cut, then everything after the "\n" before that one. A log whose only entry
// is over the limit and has no line break inside ends up empty.
void PrependActivityEntry(std::string& log, std::string_view entry);

}  // namespace zelquo::gui
