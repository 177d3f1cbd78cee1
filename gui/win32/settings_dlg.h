// The settings window: the account fields with Save (the account check), the status line, and
// the tab control with the pages. Close only hides it; the window lives until its modal loop
// ends, when the program quits.
#pragma once

#include <windows.h>

#include <string>

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

class CSettingsDlg final : public win::CDialog {
 public:
  CSettingsDlg();

  bool PreTranslateMessage(MSG& message) override;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(const win::CDataExchange& exchange) override;
  void OnOK() override;
  void OnCancel() override;

 private:
  void AddPages();
  void RefreshStatus();

  std::string username_;
  std::string password_;  // unscrambled
  std::string location_;
  std::string status_;
  CPageTabCtrl tabs_;
  CActivityPage activity_page_;
  CDomainNamesPage domain_names_page_;
  CConnectionTypePage connection_type_page_;
  CIgnoreIpPage ignore_ip_page_;
  CSignOffPage sign_off_page_;
  CMiscPage misc_page_;
};

}  // namespace zelquo::gui
