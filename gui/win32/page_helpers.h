// What the settings window's pages share: the context their portable logic works in, the length
// limit of edit fields that are stored, and the IPv4 address control's value as four octets.
#pragma once

#include <windows.h>

#include <array>

#include "logic/page_context.h"

namespace zelquo::gui {

// Messages are owned by the page's top-level window; fresh updates go to the update thread.
[[nodiscard]] PageContext MakePageContext(const CSettingsFile& settings, HWND page);

// Limits the edit control to kMaxStoredTextLength characters of typing and pasting (a program's
// WM_SETTEXT is not limited).
void LimitToStoredText(HWND edit);

// Octets outside 0-255 (a hand-edited file) are clamped: the control holds no other value.
void SetAddressControl(HWND control, const std::array<int, 4>& octets);
// Blank fields read as 0.
[[nodiscard]] std::array<int, 4> GetAddressControl(HWND control);

}  // namespace zelquo::gui
