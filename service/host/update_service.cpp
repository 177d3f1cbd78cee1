#include "host/update_service.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "host/service_identity.h"
#include "host/usage_box.h"
#include "platform/clock.h"

namespace zelquo::service {
namespace {

// Reports stop-pending with the next checkpoint every period from the moment the keep-running
// flag is cleared until Finish, so that a stop arriving during a long request, route trace or
// custom command shows progress while the pass ends. Controllers such as "net stop" give up on a
// stop-pending service whose checkpoint stays put for longer than its wait hint.
class CStopProgress {
 public:
  CStopProgress(CServiceHost& host, const CKeepRunningFlag& keep_running, std::chrono::milliseconds period,
                std::uint32_t wait_hint)
      : thread_([this, &host, &keep_running, period, wait_hint] { Report(host, keep_running, period, wait_hint); }) {}
  CStopProgress(const CStopProgress&) = delete;
  CStopProgress& operator=(const CStopProgress&) = delete;
  ~CStopProgress() { Finish(); }

  // Ends the reports; the last checkpoint reported, or 0. Only a cleared keep-running flag lets
  // the reporting thread end, and the loop finishes only on a stop, which clears it.
  std::uint32_t Finish() {
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    finished_changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    return checkpoint_;
  }

 private:
  void Report(CServiceHost& host, const CKeepRunningFlag& keep_running, std::chrono::milliseconds period,
              std::uint32_t wait_hint) {
    while (keep_running.WaitWhileSet(std::chrono::hours(24))) {
    }
    std::unique_lock lock(mutex_);
    while (!finished_changed_.wait_for(lock, period, [this] { return finished_; })) {
      host.ReportStatus(kStopPending, 0, 0, ++checkpoint_, wait_hint);
    }
  }

  std::mutex mutex_;
  std::condition_variable finished_changed_;
  bool finished_ = false;
  std::uint32_t checkpoint_ = 0;  // written by the thread under mutex_, read after the join
  std::thread thread_;            // last: it starts once the members above exist
};

}  // namespace

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

  CStopProgress progress(*this, keep_running_, timings_.stop_progress, StopWaitHint());
  body_.Start();
  CKeepRunningWait wait(keep_running_);
  std::uint32_t reported_paused = 0;
  for (;;) {
    const LoopTurn turn = TakeControls(reported_paused);
    if (turn.event_id != 0) LogEvent(EventType::kInformation, turn.event_id, DisplayName());
    if (turn.stop) {
      Stop(progress.Finish());
      return;
    }
    if (turn.paused) {
      // A stop ends this rest at once; a continue is seen on the next pass.
      keep_running_.WaitWhileSet(timings_.paused_pass);
      continue;
    }
    body_.Pass(wait);
  }
}

CUpdateService::LoopTurn CUpdateService::TakeControls(std::uint32_t& reported_paused) {
  CStatusLock::Hold hold(StatusLock());
  // A stop goes first: a pause that is still pending must not be reported, nor logged, on the way
  // out.
  if (stop_requested_ != 0) return LoopTurn{.stop = true};
  const std::uint32_t paused = paused_;
  const std::uint32_t steady = paused != 0 ? kPaused : kRunning;
  LoopTurn turn{.paused = paused != 0};
  if (paused != reported_paused) {
    turn.event_id = paused != 0 ? message_ids::kPaused : message_ids::kContinued;
    reported_paused = paused;
  }
  // A pause and a continue within one wait leave the flag as it was but the manager showing a
  // pending state: report the steady one again, without an event, since the loop never changed.
  if (turn.event_id != 0 || CurrentState() != steady) ReportStatus(steady, 0, 0, 1, 0);
  return turn;
}

void CUpdateService::Stop(std::uint32_t last_checkpoint) {
  ReportStatus(kStopPending, 0, 0, last_checkpoint + 1, StopWaitHint());
  zelquo::platform::SleepFor(timings_.stop_delay);
  // The event goes first: once the manager hears "stopped" the dispatcher returns and the
  // process may end before this thread runs another line.
  LogEvent(EventType::kInformation, message_ids::kStopped, DisplayName());
  ReportStatus(kStopped, 0, 0, 1, 0);
}

std::uint32_t CUpdateService::StopWaitHint() const {
  return static_cast<std::uint32_t>(timings_.stop_wait_hint.count());
}

void CUpdateService::OnStop() {
  CStatusLock::Hold hold(StatusLock());
  // A second stop keeps the progress that the first one's reports have made.
  if (stop_requested_ == 0) SetCurrentStateLocked(kStopPending, 0, StopWaitHint());
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

void CUpdateService::OnParamChange() { keep_running_.Wake(); }

void CUpdateService::OnUserControl(std::uint32_t control) {
  interval_ = NextBeepInterval(interval_, control);
  LogEvent(EventType::kInformation, message_ids::kBeepIntervalSet, std::to_string(interval_));
}

void CUpdateService::Help() { platform::ShowUsage(kUsageText); }

}  // namespace zelquo::service
