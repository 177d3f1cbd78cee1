#include "client_app.h"

#include <winsock2.h>
#include <commctrl.h>
#include <shellapi.h>

#include "cycle/dialup_guard.h"
#include "framework/dialog.h"
#include "gui_helpers.h"
#include "provider_config.h"
#include "resource.h"
#include "settings/settings.h"
#include "settings_dlg.h"
#include "logic/sign_off.h"
#include "logic/startup_check.h"
#include "update_thread.h"

namespace zelquo::gui {

namespace {

// The notification message of the tray icon.
constexpr UINT kTrayCallbackMessage = WM_USER + 10;
constexpr char kOnlineTip[] = "Zelquo IP Update Client Online!";

// The tray menu's website entries and the pages they open in the browser.
struct WebPageCommand {
  int id;
  const char* address;
};

constexpr WebPageCommand kWebPageCommands[] = {
    {ID_PURCHASE_DOMAIN, provider::kPurchaseDomainPage},   {ID_ADD_HOSTNAME, provider::kAddHostnamePage},
    {ID_OPEN_CONTROL_PANEL, provider::kControlPanelPage},  {ID_CONTACT_SUPPORT, provider::kSupportPage},
    {ID_DOCUMENTATION, provider::kDocumentationPage},
};

}  // namespace

bool CClientApp::InitInstance() {
  WSADATA sockets{};
  if (WSAStartup(MAKEWORD(1, 1), &sockets) != 0) {
    MessageBoxA(nullptr, "Windows sockets initialization failed.", nullptr, MB_OK | MB_ICONSTOP);
    return false;
  }
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                      ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_INTERNET_CLASSES};
  InitCommonControlsEx(&controls);

  if (!frame_.LoadFrame(Instance(), IDR_MAINFRAME)) return false;
  SetMainWindow(frame_.Window());

  idle_icon_ = LoadTrayIcon(IDI_IDLE);
  tray_ = std::make_unique<CSystemTray>();
  tray_->Create(nullptr, kTrayCallbackMessage, kOnlineTip, idle_icon_, IDR_TRAY_MENU);
  tray_->ShowIcon();

  update_thread_ = new CUpdateThread;
  if (!win::BeginWorkerThread(&UpdateThreadProc, update_thread_)) {
    LogActivity("The update thread could not be started.");
  }

  if (!RunSettingsPrompt()) return true;  // quitting: the message loop sees WM_QUIT at once
  SetStatusText("IP update engine started...");
  RequestFreshUpdate();
  return true;
}

bool CClientApp::RunSettingsPrompt() {
  while (NeedsSettingsPrompt(ProgramSettings())) {
    const INT_PTR result = RunSettingsWindow();
    if (result == win::kModalQuit) return false;
    if (result == win::kModalFailed) return true;
  }
  return true;
}

INT_PTR CClientApp::RunSettingsWindow() {
  INT_PTR result = kReopenSettings;
  while (result == kReopenSettings) {
    CSettingsDlg dialog;
    settings_window_ = &dialog;
    result = dialog.DoModal();
    settings_window_ = nullptr;
  }
  return result;
}

void CClientApp::ExitInstance() {
  // The update thread ends with the process, maybe inside a request's dial-up guard.
  RestoreDialUpForExit();
  // The shell keeps the icon of a program that ended until the mouse passes over it; take it
  // away however the program ends.
  if (tray_) tray_->RemoveIcon();
}

void CClientApp::OnSessionEnding() { RestoreDialUpForExit(); }

bool CClientApp::OnCommand(int id) {
  switch (id) {
    case ID_OPEN_MAIN_PANEL:
      OpenMainPanel();
      return true;
    case ID_APP_EXIT:
      ExitProgram();
      return true;
    default:
      break;
  }
  for (const WebPageCommand& command : kWebPageCommands) {
    if (command.id == id) {
      ShellExecuteA(nullptr, "open", command.address, nullptr, nullptr, SW_SHOWNORMAL);
      return true;
    }
  }
  return false;
}

void CClientApp::OpenMainPanel() {
  // One settings window at a time: every window kept hidden would hold its controls, timers and
  // modal loop until the program ends, and a few hundred of them exhaust the process's window
  // objects. A window on screen is brought forward; a hidden one ends its modal loop, and the
  // loop that ran it opens a fresh one, which reads the settings anew as a new window should.
  if (settings_window_) {
    if (!settings_window_->Reveal()) settings_window_->EndDialog(kReopenSettings);
    return;
  }
  RunSettingsWindow();
}

void CClientApp::ExitProgram() {
  if (tray_) tray_->HideIcon();
  // Blocks the GUI thread until every request has its answer or has timed out; the update thread
  // goes on meanwhile and ends with the process.
  const CSettingsFile settings = ProgramSettings();
  SignOff(SignOffContext(settings));
  // Handled before this returns: the frame's destruction posts the quit message.
  SendMessageA(frame_.Window(), WM_CLOSE, 0, 0);
}

}  // namespace zelquo::gui
