// The update loop's passes as the service runs them: the program's settings file, sinks that
// discard, the keep-running wait (which also cuts short a maintenance pause), and a custom command that runs only from a settings file that
// administrators alone can change (a refusal goes to the event log). Where the platform asks for
// it, a pass that finds no account logs once that the service waits for one.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cycle/keep_running_flag.h"
#include "cycle/update_cycle.h"
#include "host/account_wait_notice.h"
#include "host/service_host.h"
#include "cycle/thread_sockets.h"
#include "host/update_service.h"

namespace zelquo::service {

class CServiceUpdatePasses final : public UpdateLoopBody {
 public:
  explicit CServiceUpdatePasses(const CKeepRunningFlag& keep_running,
                                std::optional<std::string> account_setup_command = platform::AccountSetupCommand())
      : keep_running_(keep_running), account_setup_command_(std::move(account_setup_command)) {}

  // Where refusals of the custom command are logged; the service object, once it exists.
  void SetEventLog(CServiceHost& host) { event_log_ = &host; }

  void Start() override;
  void Pass(PollIntervalWait& wait) override;

 private:
  // Logs the wait for an account when a pass first finds none.
  void NoteMissingAccount(const CSettingsFile& settings);

  const CKeepRunningFlag& keep_running_;
  std::optional<std::string> account_setup_command_;  // nullopt: say nothing about the account
  bool waiting_for_account_ = false;
  CServiceHost* event_log_ = nullptr;
  std::unique_ptr<CThreadSockets> sockets_;
  CUpdateLoopState loop_state_;
};

}  // namespace zelquo::service
