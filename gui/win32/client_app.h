// The tray program's application object: the start-up (sockets, frame, tray icon, update thread,
// settings prompt), the tray menu's commands, and the state the update thread and the windows
// share. It lives until the process ends, as do the tray icon and the update thread object.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/win_app.h"
#include "logic/gui_state.h"
#include "main_frm.h"
#include "system_tray.h"

namespace zelquo::gui {

class CSettingsDlg;
class CUpdateThread;

class CClientApp final : public win::CWinApp {
 public:
  CClientApp() = default;

  [[nodiscard]] static CClientApp* Current() { return static_cast<CClientApp*>(win::CWinApp::Current()); }

  [[nodiscard]] CGuiState& State() { return state_; }
  // Null until the start-up has created it.
  [[nodiscard]] CSystemTray* Tray() { return tray_.get(); }

  bool OnCommand(int id) override;
  void OnSessionEnding() override;

 protected:
  bool InitInstance() override;
  void ExitInstance() override;

 private:
  // Shows the settings window while the stored settings lack what an update needs; false when
  // the program quit meanwhile.
  bool RunSettingsPrompt();
  // Runs the settings window modally, a fresh one each time the hidden one is asked for again;
  // DoModal's result.
  INT_PTR RunSettingsWindow();
  void OpenMainPanel();
  void ExitProgram();

  HICON idle_icon_ = nullptr;  // shared resource icon, never destroyed
  std::unique_ptr<CSystemTray> tray_;
  CGuiState state_;
  CMainFrm frame_;
  CSettingsDlg* settings_window_ = nullptr;  // the one in its modal loop, if any; not owned
  CUpdateThread* update_thread_ = nullptr;  // deliberately never deleted: the thread runs until the process ends
};

}  // namespace zelquo::gui
