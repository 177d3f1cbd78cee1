// The settings window: the account fields with Save (the account check), the status line, and
// the tab control with the pages. Close only hides it; the window lives until its modal loop
// ends, when the program quits.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "account_check_worker.h"
#include "activity_page.h"
#include "connection_type_page.h"
#include "domain_names_page.h"
#include "framework/dialog.h"
#include "ignore_ip_page.h"
#include "misc_page.h"
#include "page_tab_ctrl.h"
#include "sign_off_page.h"

namespace zelquo::gui {

// The timer of the settings window and of its pages that copies the shared texts to the window.
inline constexpr UINT_PTR kRefreshTimerId = 150;
inline constexpr UINT kRefreshPeriodMs = 1000;
// What DoModal returns when the program asked for a fresh window in place of this hidden one.
inline constexpr INT_PTR kReopenSettings = 100;

class CSettingsDlg final : public win::CDialog {
 public:
  CSettingsDlg();

  bool PreTranslateMessage(MSG& message) override;
  // Brings a window on screen (or one whose check is still running) to the front; false for a
  // hidden one, which the caller replaces.
  bool Reveal();

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(const win::CDataExchange& exchange) override;
  void OnOK() override;
  void OnCancel() override;

 private:
  void AddPages();
  void RefreshStatus();
  // Enter acts where it is pressed: the account fields run Save, a page its own Save (or
  // nothing), a button is pressed. True when the key was handled here.
  bool OnEnterKey(HWND focus);
  void OnAccountCheckDone();
  // Disables the account fields and Save while the check runs, and says so on the status line.
  void ShowCheckRunning(bool running);

  std::string username_;
  std::string password_;  // unscrambled
  std::string location_;
  std::string status_;
  CAccountCheckWorker account_check_;
  CPageTabCtrl tabs_;
  std::vector<std::pair<HWND, int>> page_enter_buttons_;  // each page and the button Enter presses
  CActivityPage activity_page_;
  CDomainNamesPage domain_names_page_;
  CConnectionTypePage connection_type_page_;
  CIgnoreIpPage ignore_ip_page_;
  CSignOffPage sign_off_page_;
  CMiscPage misc_page_;
};

}  // namespace zelquo::gui
