// The update loop's passes as the service runs them: the program's settings file, sinks that
// discard, the keep-running wait (which also cuts short a maintenance pause), and a custom command that runs only from a settings file that
// administrators alone can change (a refusal goes to the event log).
#pragma once

#include <memory>

#include "cycle/keep_running_flag.h"
#include "cycle/update_cycle.h"
#include "host/service_host.h"
#include "cycle/thread_sockets.h"
#include "host/update_service.h"

namespace zelquo::service {

class CServiceUpdatePasses final : public UpdateLoopBody {
 public:
  explicit CServiceUpdatePasses(const CKeepRunningFlag& keep_running) : keep_running_(keep_running) {}

  // Where refusals of the custom command are logged; the service object, once it exists.
  void SetEventLog(CServiceHost& host) { event_log_ = &host; }

  void Start() override;
  void Pass(PollIntervalWait& wait) override;

 private:
  const CKeepRunningFlag& keep_running_;
  CServiceHost* event_log_ = nullptr;
  std::unique_ptr<CThreadSockets> sockets_;
  CUpdateLoopState loop_state_;
};

}  // namespace zelquo::service
