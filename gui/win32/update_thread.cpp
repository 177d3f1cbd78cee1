#include "update_thread.h"

#include "client_app.h"
#include "cycle/network_change_waker.h"
#include "cycle/thread_sockets.h"
#include "gui_helpers.h"
#include "message_dlg.h"
#include "settings/settings.h"
#include "logic/tray_update_loop.h"

namespace zelquo::gui {

void CUpdateThread::UpdateLoop() {
  const CThreadSockets sockets;
  CClientApp* app = CClientApp::Current();
  TrayLoopHooks hooks;
  hooks.set_tray_tip = [](const std::string& text) { SetTrayTip(text); };
  hooks.show_busy_icon = [] { ShowBusyIcon(); };
  hooks.show_idle_icon = [] { ShowIdleIcon(); };
  // On this thread, with no owner: the loop waits until the user has closed it.
  hooks.show_message = [](const std::string& text) { ShowMessage(text, nullptr); };
  CTrayUpdateLoop loop(app->State(), std::move(hooks));
  // An address or route change ends the wait soon, as a fresh-update request would, but
  // without one.
  const CNetworkChangeWaker change_waker(OpenNetworkChangeSource(), [app] { app->State().WakeUp(); });
  loop.Start(ProgramSettings());
  for (;;) loop.Pass(ProgramSettings());
}

unsigned __stdcall UpdateThreadProc(void* parameter) {
  CUpdateThread* thread = win::CThread::FromParameter<CUpdateThread>(parameter);
  if (!thread || !CClientApp::Current()) return 1;
  thread->UpdateLoop();
}

}  // namespace zelquo::gui
