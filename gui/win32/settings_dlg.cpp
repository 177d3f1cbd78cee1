#include "settings_dlg.h"

#include <commctrl.h>

#include "logic/account_check.h"
#include "client_app.h"
#include "crypto/scramble.h"
#include "message_dlg.h"
#include "page_helpers.h"
#include "resource.h"
#include "settings/settings.h"
#include "system_tray.h"

namespace zelquo::gui {

namespace {

constexpr char kCheckRunningText[] = "Checking the account with the provider...";

// The controls that Save reads, disabled while its check runs.
constexpr int kAccountControls[] = {IDC_USERNAME, IDC_PASSWORD, IDC_LOCATION, IDOK};

// One page of the window: its tab label, the page object, when it is shown (always when null)
// and the button that Enter presses on it (none when 0).
struct PageSlot {
  const char* label;
  win::CDialog* page;
  bool (*shown)(const CSettingsFile& settings);
  int enter_button;
};

// The Domain Names page only edits what is stored: with no names and no aliases it is left out.
bool HasDomainNamesOrAliases(const CSettingsFile& settings) {
  return settings.ReadCount(keys::kDomainNames) != 0 || settings.ReadCount(keys::kAliases) != 0;
}

// The tab control fills the window above the account row (whose top is Save's), with the
// layout's 7-unit margins. Both come from the dialog's own units, so the layout keeps its
// proportions at every DPI and font size.
RECT TabRectangle(HWND dialog) {
  RECT margin{0, 0, 7, 7};
  MapDialogRect(dialog, &margin);
  RECT client{};
  GetClientRect(dialog, &client);
  RECT save{};
  GetWindowRect(GetDlgItem(dialog, IDOK), &save);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&save), 2);
  return RECT{margin.right, margin.bottom, client.right - margin.right, save.top - margin.bottom};
}

bool IsAccountField(int control_id) {
  return control_id == IDC_USERNAME || control_id == IDC_PASSWORD || control_id == IDC_LOCATION;
}

bool IsPushButton(HWND control) {
  return (SendMessageA(control, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

}  // namespace

CSettingsDlg::CSettingsDlg() : CDialog(IDD_SETTINGS) {
  OnTimer(kRefreshTimerId, [this] { RefreshStatus(); });
  OnMessage(CAccountCheckWorker::kShowMessage, [this](WPARAM, LPARAM text) {
    ShowMessage(*reinterpret_cast<const std::string*>(text), Window());
    return 0;
  });
  OnMessage(CAccountCheckWorker::kDoneMessage, [this](WPARAM, LPARAM) {
    OnAccountCheckDone();
    return 0;
  });
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
      {"Activity", &activity_page_, nullptr, 0},
      {"Domain Names", &domain_names_page_, HasDomainNamesOrAliases, 0},
      {"Connection Type", &connection_type_page_, nullptr, IDOK},
      {"Ignore IP List", &ignore_ip_page_, nullptr, 0},
      {"SignOff Settings", &sign_off_page_, nullptr, IDOK},
      {"Misc", &misc_page_, nullptr, IDC_MISC_SAVE},
  };
  const CSettingsFile settings = ProgramSettings();
  int index = 0;
  for (const PageSlot& slot : pages) {
    if ((!slot.shown || slot.shown(settings)) && tabs_.AddPage(slot.label, *slot.page, index)) {
      page_enter_buttons_.emplace_back(slot.page->Window(), slot.enter_button);
    }
    ++index;
  }
}

void CSettingsDlg::DoDataExchange(const win::CDataExchange& exchange) {
  exchange.Text(IDC_USERNAME, username_);
  exchange.Text(IDC_PASSWORD, password_);
  exchange.Text(IDC_LOCATION, location_);
  exchange.Text(IDC_STATUS, status_);
}

bool CSettingsDlg::Reveal() {
  if (!IsWindowVisible(Window()) && !account_check_.Running()) return false;
  ShowWindow(Window(), IsIconic(Window()) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(Window());
  return true;
}

bool CSettingsDlg::PreTranslateMessage(MSG& message) {
  if (message.message != WM_KEYDOWN) return false;
  if (message.wParam == VK_RETURN) return OnEnterKey(message.hwnd);
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

bool CSettingsDlg::OnEnterKey(HWND focus) {
  // The dialog manager would press the window's default Save for any control, and would take
  // a page's own Save (id IDOK too) for the window's.
  HWND page = focus;
  while (page && GetParent(page) != tabs_.Window()) page = GetParent(page);
  if (!page || !tabs_.Window()) {
    // A control of the window itself: the account fields and the buttons are the dialog
    // manager's; Enter anywhere else (the tab strip) does nothing.
    return !(IsAccountField(GetDlgCtrlID(focus)) || IsPushButton(focus));
  }
  // The Activity log takes its line breaks itself.
  if (SendMessageA(focus, WM_GETDLGCODE, VK_RETURN, 0) & DLGC_WANTALLKEYS) return false;
  if (IsPushButton(focus)) {
    SendMessageA(focus, BM_CLICK, 0, 0);
    return true;
  }
  for (const auto& [page_window, button] : page_enter_buttons_) {
    if (page_window == page && button != 0) SendMessageA(GetDlgItem(page, button), BM_CLICK, 0, 0);
  }
  return true;
}

void CSettingsDlg::OnOK() {
  if (account_check_.Running()) return;
  UpdateData(true);
  if (account_check_.Start(Window(), AccountFields{username_, password_, location_})) ShowCheckRunning(true);
}

void CSettingsDlg::OnAccountCheckDone() {
  AccountFields fields = account_check_.Finish();
  username_ = std::move(fields.username);
  password_ = std::move(fields.password);
  location_ = std::move(fields.location);
  ShowCheckRunning(false);
  UpdateData(false);
}

void CSettingsDlg::ShowCheckRunning(bool running) {
  for (const int control_id : kAccountControls) EnableWindow(Item(control_id), running ? FALSE : TRUE);
  SetDlgItemTextA(Window(), IDC_STATUS, running ? kCheckRunningText : status_.c_str());
  if (!running) SetFocus(Item(IDOK));
}

void CSettingsDlg::OnCancel() { ShowWindow(Window(), SW_HIDE); }

void CSettingsDlg::RefreshStatus() {
  CClientApp* app = CClientApp::Current();
  if (!app) return;
  std::string status = app->State().StatusText();
  if (status == status_) return;
  status_ = std::move(status);
  // Only the status line: the account fields may hold text the user has not saved yet. While
  // the check runs, the line says so until it ends.
  if (!account_check_.Running()) SetDlgItemTextA(Window(), IDC_STATUS, status_.c_str());
}

}  // namespace zelquo::gui
