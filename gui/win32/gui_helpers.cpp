#include "gui_helpers.h"

#include "client_app.h"
#include "resource.h"
#include "settings/settings.h"
#include "system_tray.h"

namespace zelquo::gui {

void LogActivity(std::string_view text) {
  if (CClientApp* app = CClientApp::Current()) app->State().LogActivity(text);
}

void SetStatusText(std::string_view text) {
  if (CClientApp* app = CClientApp::Current()) app->State().SetStatusText(text);
}

void SetTrayTip(std::string_view text) {
  if (CClientApp* app = CClientApp::Current(); app && app->Tray()) app->Tray()->SetTooltipText(text);
}

void ShowBusyIcon() {
  if (CClientApp* app = CClientApp::Current(); app && app->Tray()) app->Tray()->SetIcon(LoadTrayIcon(IDI_BUSY));
}

void ShowIdleIcon() {
  if (CClientApp* app = CClientApp::Current(); app && app->Tray()) app->Tray()->SetIcon(LoadTrayIcon(IDI_IDLE));
}

void RequestFreshUpdate() {
  if (CClientApp* app = CClientApp::Current()) app->State().RequestFreshUpdate(ProgramSettings());
}

void WaitForWakeUp(int seconds) {
  if (CClientApp* app = CClientApp::Current()) app->State().WaitForWakeUp(seconds);
}

}  // namespace zelquo::gui
