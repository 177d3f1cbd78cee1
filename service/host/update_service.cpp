#include "host/update_service.h"

#include <string>

#include "host/service_identity.h"
#include "host/usage_box.h"
#include "platform/clock.h"

namespace zelquo::service {

std::uint32_t NextBeepInterval(std::uint32_t interval, std::uint32_t control) {
  return control <= 200 ? interval * 2 : interval >> 1;
}

CUpdateService::CUpdateService(CKeepRunningFlag& keep_running, UpdateLoopBody& body, ServiceSystemCalls system,
                               UpdateServiceTimings timings)
    : CServiceHost(kServiceName, kDisplayName, kAcceptStopPauseContinue, kDescription, std::move(system)),
      keep_running_(keep_running),
      body_(body),
      timings_(timings) {}

void CUpdateService::Run(std::uint32_t /*argc*/, char** /*argv*/) {
  RegisterControlHandler();
  ReportStatus(kStartPending, 0, 0, 1, 0);
  zelquo::platform::SleepFor(timings_.start_delay);
  ReportStatus(kRunning, 0, 0, 1, 0);
  LogEvent(EventType::kInformation, message_ids::kStarted, DisplayName());

  body_.Start();
  CKeepRunningWait wait(keep_running_);
  std::uint32_t reported_paused = 0;
  for (;;) {
    const std::uint32_t paused = paused_;
    if (paused != reported_paused) {
      ReportStatus(paused != 0 ? kPaused : kRunning, 0, 0, 1, 0);
      LogEvent(EventType::kInformation, paused != 0 ? message_ids::kPaused : message_ids::kContinued, DisplayName());
      reported_paused = paused;
    }
    if (stop_requested_ != 0) {
      ReportStatus(kStopPending, 0, 0, 1, 0);
      zelquo::platform::SleepFor(timings_.stop_delay);
      // The event goes first: once the manager hears "stopped" the dispatcher returns and the
      // process may end before this thread runs another line.
      LogEvent(EventType::kInformation, message_ids::kStopped, DisplayName());
      ReportStatus(kStopped, 0, 0, 1, 0);
      return;
    }
    if (paused != 0) {
      // A stop ends this rest at once; a continue is seen on the next pass.
      keep_running_.WaitWhileSet(timings_.paused_pass);
      continue;
    }
    body_.Pass(wait);
  }
}

void CUpdateService::OnStop() {
  CStatusLock::Hold hold(StatusLock());
  SetCurrentStateLocked(kStopPending);
  stop_requested_ = 1;
  keep_running_.Clear();
}

void CUpdateService::OnPause() {
  CStatusLock::Hold hold(StatusLock());
  SetCurrentStateLocked(kPausePending);
  paused_ = 1;
}

void CUpdateService::OnContinue() {
  CStatusLock::Hold hold(StatusLock());
  SetCurrentStateLocked(kContinuePending);
  paused_ = 0;
}

void CUpdateService::OnUserControl(std::uint32_t control) {
  interval_ = NextBeepInterval(interval_, control);
  LogEvent(EventType::kInformation, message_ids::kBeepIntervalSet, std::to_string(interval_));
}

void CUpdateService::Help() { platform::ShowUsage(kUsageText); }

}  // namespace zelquo::service
