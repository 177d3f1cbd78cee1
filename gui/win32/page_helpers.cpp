#include "page_helpers.h"

#include <commctrl.h>

#include <algorithm>

#include "gui_helpers.h"
#include "message_dlg.h"

namespace zelquo::gui {

PageContext MakePageContext(const CSettingsFile& settings, HWND page) {
  PageContext context(settings);
  const HWND owner = GetAncestor(page, GA_ROOT);
  context.show_message = [owner](const std::string& text) { ShowMessage(text, owner); };
  context.request_fresh_update = [] { RequestFreshUpdate(); };
  return context;
}

void LimitToStoredText(HWND edit) { SendMessageA(edit, EM_LIMITTEXT, kMaxStoredTextLength, 0); }

void SetAddressControl(HWND control, const std::array<int, 4>& octets) {
  std::array<BYTE, 4> bytes{};
  std::transform(octets.begin(), octets.end(), bytes.begin(),
                 [](int octet) { return static_cast<BYTE>(std::clamp(octet, 0, 255)); });
  SendMessageA(control, IPM_SETADDRESS, 0, static_cast<LPARAM>(MAKEIPADDRESS(bytes[0], bytes[1], bytes[2], bytes[3])));
}

std::array<int, 4> GetAddressControl(HWND control) {
  DWORD address = 0;
  SendMessageA(control, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
  return {FIRST_IPADDRESS(address), SECOND_IPADDRESS(address), THIRD_IPADDRESS(address), FOURTH_IPADDRESS(address)};
}

}  // namespace zelquo::gui
