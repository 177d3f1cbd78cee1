#include "tray_update_loop.h"

#include "cycle/thread_sockets.h"
#include "protocol/answer_table.h"

namespace zelquo::gui {

// Every wait of the loop and of the cycle: one-second steps, ended by a fresh-update request.
class CTrayUpdateLoop::CWakeUpWait final : public PollIntervalWait {
 public:
  explicit CWakeUpWait(CGuiState& state) : state_(state) {}
  void Wait(int seconds) override { state_.WaitForWakeUp(seconds); }

 private:
  CGuiState& state_;
};

void CTrayUpdateLoop::Start(const CSettingsFile& settings) {
  outdated_notice_shown_ = false;
  BeginUpdateLoop(settings);
}

void CTrayUpdateLoop::Pass(const CSettingsFile& settings,
                           const std::function<void(UpdateCycleContext&)>& customize) {
  CWakeUpWait wait(state_);
  UpdateCycleContext context(settings, wait, ProtocolProgram::kTrayClient);
  context.sinks.activity = [this](const std::string& text) { state_.LogActivity(text); };
  context.sinks.status = [this](const std::string& text) { state_.SetStatusText(text); };
  context.sinks.tip = [this](const std::string& text) {
    if (hooks_.set_tray_tip) hooks_.set_tray_tip(text);
  };
  context.hooks.before_request = [this] {
    if (hooks_.show_busy_icon) hooks_.show_busy_icon();
  };
  context.hooks.after_request = [this] {
    if (hooks_.show_idle_icon) hooks_.show_idle_icon();
  };
  // A pass without an update means the client was accepted before: no notice in this run.
  context.hooks.idle_pass = [this, &settings] {
    outdated_notice_shown_ = true;
    state_.SetStatusText("Current IPv4 Address: " + settings.Read(keys::kUpdatedIp));
    const std::string ipv6 = settings.Read(keys::kUpdatedIpV6);
    if (!ipv6.empty()) state_.SetStatusText("Current IPv6 Address: " + ipv6);
  };
  context.hooks.outdated_notice = [this] {
    if (!outdated_notice_shown_ && hooks_.show_message) hooks_.show_message(OutdatedNotice());
    outdated_notice_shown_ = true;
  };
  if (customize) customize(context);
  RunUpdatePass(context, loop_state_);
}

}  // namespace zelquo::gui
