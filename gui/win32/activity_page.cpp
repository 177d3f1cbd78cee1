#include "activity_page.h"

#include "client_app.h"
#include "resource.h"
#include "settings_dlg.h"

namespace zelquo::gui {

CActivityPage::CActivityPage() : CDialog(IDD_ACTIVITY_PAGE) {
  OnTimer(kRefreshTimerId, [this] { RefreshLog(); });
}

bool CActivityPage::OnInitDialog() {
  CDialog::OnInitDialog();
  SetTimer(Window(), kRefreshTimerId, kRefreshPeriodMs, nullptr);
  return true;
}

void CActivityPage::DoDataExchange(const win::CDataExchange& exchange) { exchange.Text(IDC_ACTIVITY_LOG, log_); }

void CActivityPage::RefreshLog() {
  CClientApp* app = CClientApp::Current();
  if (!app) return;
  std::string log = app->State().ActivityLog();
  if (log == log_) return;
  log_ = std::move(log);
  UpdateData(false);
}

}  // namespace zelquo::gui
