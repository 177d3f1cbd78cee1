#include "settings_dlg.h"

#include <commctrl.h>

#include "logic/account_check.h"
#include "client_app.h"
#include "crypto/scramble.h"
#include "page_helpers.h"
#include "resource.h"
#include "settings/settings.h"
#include "system_tray.h"

namespace zelquo::gui {

namespace {

// One page of the window: its tab label, the page object, and when it is shown (always when
// null).
struct PageSlot {
  const char* label;
  win::CDialog* page;
  bool (*shown)(const CSettingsFile& settings);
};

// The Domain Names page only edits what is stored: with no names and no aliases it is left out.
bool HasDomainNamesOrAliases(const CSettingsFile& settings) {
  return settings.ReadCount(keys::kDomainNames) != 0 || settings.ReadCount(keys::kAliases) != 0;
}

// The tab control's rectangle from the window rectangle in client coordinates: a 10-pixel margin
// at the left, top and right, and the strip at the bottom (the frame's height plus 44 pixels)
// left for the account fields and the buttons.
RECT TabRectangle(HWND dialog) {
  RECT window{};
  GetWindowRect(dialog, &window);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&window), 2);
  return RECT{10, 10, window.right + window.left - 10, window.bottom + window.top - 44};
}

}  // namespace

CSettingsDlg::CSettingsDlg() : CDialog(IDD_SETTINGS) {
  OnTimer(kRefreshTimerId, [this] { RefreshStatus(); });
  OnNotify(IDC_PAGE_TABS, [this](const NMHDR& header) {
    if (header.code == TCN_SELCHANGE) tabs_.OnSelChange();
  });
}

bool CSettingsDlg::OnInitDialog() {
  const CSettingsFile settings = ProgramSettings();
  username_ = settings.Read(keys::kUsername);
  password_ = UnscrambleText(settings.Read(keys::kPassword));
  location_ = settings.Read(keys::kLocation);
  if (CClientApp* app = CClientApp::Current()) status_ = app->State().StatusText();
  UpdateData(false);

  const HFONT font = reinterpret_cast<HFONT>(SendMessageA(Window(), WM_GETFONT, 0, 0));
  if (tabs_.Create(Window(), TabRectangle(Window()), IDC_PAGE_TABS, font)) AddPages();

  // The program's icon in the title bar and the task switcher.
  SendMessageA(Window(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadTrayIcon(IDI_IDLE)));
  SendMessageA(Window(), WM_SETICON, ICON_BIG,
               reinterpret_cast<LPARAM>(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_IDLE))));

  SetTimer(Window(), kRefreshTimerId, kRefreshPeriodMs, nullptr);
  SetWindowPos(Window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(Window());
  return true;
}

void CSettingsDlg::AddPages() {
  // In tab order. A page that is not shown leaves its index unused, and the tab of the next page
  // is appended in its place.
  const PageSlot pages[] = {
      {"Activity", &activity_page_, nullptr},
      {"Domain Names", &domain_names_page_, HasDomainNamesOrAliases},
      {"Connection Type", &connection_type_page_, nullptr},
      {"Ignore IP List", &ignore_ip_page_, nullptr},
      {"SignOff Settings", &sign_off_page_, nullptr},
      {"Misc", &misc_page_, nullptr},
  };
  const CSettingsFile settings = ProgramSettings();
  int index = 0;
  for (const PageSlot& slot : pages) {
    if (!slot.shown || slot.shown(settings)) tabs_.AddPage(slot.label, *slot.page, index);
    ++index;
  }
}

void CSettingsDlg::DoDataExchange(const win::CDataExchange& exchange) {
  exchange.Text(IDC_USERNAME, username_);
  exchange.Text(IDC_PASSWORD, password_);
  exchange.Text(IDC_LOCATION, location_);
  exchange.Text(IDC_STATUS, status_);
}

bool CSettingsDlg::PreTranslateMessage(MSG& message) {
  if (message.message != WM_KEYDOWN) return false;
  // Esc hides the window from any control: the multi-line edit of a page keeps the key for
  // itself under Wine.
  if (message.wParam == VK_ESCAPE) {
    OnCancel();
    return true;
  }
  // Caught here, so that the keys turn the pages whichever control has the focus.
  if (GetKeyState(VK_CONTROL) >= 0) return false;
  if (message.wParam == VK_NEXT) {
    tabs_.SelectNext();
    return true;
  }
  if (message.wParam == VK_PRIOR) {
    tabs_.SelectPrevious();
    return true;
  }
  return false;
}

void CSettingsDlg::OnOK() {
  UpdateData(true);
  const CSettingsFile settings = ProgramSettings();
  const AccountCheckContext context(MakePageContext(settings, Window()));
  AccountFields fields{username_, password_, location_};
  SaveAccount(context, fields);
  username_ = std::move(fields.username);
  password_ = std::move(fields.password);
  location_ = std::move(fields.location);
  UpdateData(false);
}

void CSettingsDlg::OnCancel() { ShowWindow(Window(), SW_HIDE); }

void CSettingsDlg::RefreshStatus() {
  CClientApp* app = CClientApp::Current();
  if (!app) return;
  std::string status = app->State().StatusText();
  if (status == status_) return;
  status_ = std::move(status);
  // Only the status line: the account fields may hold text the user has not saved yet.
  SetDlgItemTextA(Window(), IDC_STATUS, status_.c_str());
}

}  // namespace zelquo::gui
