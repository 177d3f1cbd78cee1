// The update service: the service host plus the update loop, which paces passes by the poll
// interval and takes pause, continue and stop between passes.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "cycle/keep_running_flag.h"
#include "cycle/poll_interval_wait.h"
#include "host/service_host.h"

namespace zelquo::service {

// What the loop runs, apart from its state handling.
class UpdateLoopBody {
 public:
  virtual ~UpdateLoopBody() = default;
  // Once, after the service has reported running, in the loop's thread.
  virtual void Start() = 0;
  // One pass: the change check and, when an update is due, one cycle; ends with the wait.
  virtual void Pass(PollIntervalWait& wait) = 0;
};

struct UpdateServiceTimings {
  std::chrono::milliseconds start_delay{200};   // start-pending before running
  std::chrono::milliseconds stop_delay{1000};   // stop-pending before stopped
  std::chrono::milliseconds paused_pass{250};   // how long a paused pass rests
  // While a stop waits for the pass under way, stop-pending is reported again this often with
  // the next checkpoint; every stop-pending report promises the next within the wait hint.
  std::chrono::milliseconds stop_progress{1000};
  std::chrono::milliseconds stop_wait_hint{3000};
};

class CUpdateService : public CServiceHost {
 public:
  CUpdateService(CKeepRunningFlag& keep_running, UpdateLoopBody& body, ServiceSystemCalls system = SystemServiceCalls(),
                 UpdateServiceTimings timings = {});

  void Run(std::uint32_t argc, char** argv) override;
  void OnStop() override;
  void OnPause() override;
  void OnContinue() override;
  // Ends the poll-interval wait, so that a pass follows at once.
  void OnParamChange() override;
  void OnUserControl(std::uint32_t control) override;
  void Help() override;

  [[nodiscard]] std::uint32_t Interval() const { return interval_; }

 private:
  // What the loop does next, decided from the flags under the status lock.
  struct LoopTurn {
    bool stop = false;
    bool paused = false;
    std::uint32_t event_id = 0;  // the pause or continue to log, or 0
  };
  LoopTurn TakeControls(std::uint32_t& reported_paused);
  void Stop(std::uint32_t last_checkpoint);
  [[nodiscard]] std::uint32_t StopWaitHint() const;

  // Written by the control handler's thread under the status lock, read by the loop under it.
  std::atomic<std::uint32_t> paused_{0};
  std::uint32_t interval_ = 1000;
  std::atomic<std::uint32_t> stop_requested_{0};

  CKeepRunningFlag& keep_running_;
  UpdateLoopBody& body_;
  UpdateServiceTimings timings_;
};

// The interval after user-defined control code: doubled for codes up to 200, halved above.
[[nodiscard]] std::uint32_t NextBeepInterval(std::uint32_t interval, std::uint32_t control);

}  // namespace zelquo::service
