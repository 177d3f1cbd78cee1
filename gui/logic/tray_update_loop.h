// The tray program's update loop: the shared update cycle with its reports going to the windows
// (activity log, status text, tray tip), the busy icon around each request, the idle pass's status
// lines, the outdated notice at most once, and every wait ended early by a fresh-update request.
#pragma once

#include <functional>
#include <string>

#include "cycle/update_cycle.h"
#include "gui_state.h"

namespace zelquo::gui {

struct TrayLoopHooks {
  std::function<void(const std::string&)> set_tray_tip;
  std::function<void()> show_busy_icon;
  std::function<void()> show_idle_icon;
  // Shows the text in a modal message box and returns when the user has closed it.
  std::function<void(const std::string&)> show_message;
};

class CTrayUpdateLoop {
 public:
  CTrayUpdateLoop(CGuiState& state, TrayLoopHooks hooks) : state_(state), hooks_(std::move(hooks)) {}

  // Thread start: records no address yet, so that the first pass updates.
  void Start(const CSettingsFile& settings);
  // One pass on the settings file; `customize` may change the context's seams (tests).
  void Pass(const CSettingsFile& settings,
            const std::function<void(UpdateCycleContext&)>& customize = nullptr);

 private:
  class CWakeUpWait;
  CGuiState& state_;
  TrayLoopHooks hooks_;
  CUpdateLoopState loop_state_;
  bool outdated_notice_shown_ = false;
};

}  // namespace zelquo::gui
