// The update loop's passes as the service runs them: the program's settings file, sinks that
// discard, the keep-running wait (which also cuts short a maintenance pause, and which news of
// an address or route change ends early), and a custom command that runs only from a settings
// file that administrators alone can change. Each update sent and its outcome, a refused
// command and a detection that found nothing go to the event log, repeats folded. Where the
// platform asks for it, a pass that finds no account logs once that the service waits for one.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cycle/keep_running_flag.h"
#include "cycle/network_change_waker.h"
#include "cycle/update_cycle.h"
#include "host/account_wait_notice.h"
#include "host/repeat_folding.h"
#include "host/service_host.h"
#include "cycle/thread_sockets.h"
#include "host/update_service.h"

namespace zelquo::service {

class CServiceUpdatePasses final : public UpdateLoopBody {
 public:
  using ChangeSourceOpener = std::function<std::unique_ptr<CNetworkChangeSource>()>;

  explicit CServiceUpdatePasses(CKeepRunningFlag& keep_running,
                                std::optional<std::string> account_setup_command = platform::AccountSetupCommand(),
                                CRepeatFolding::Clock clock = &std::chrono::steady_clock::now,
                                ChangeSourceOpener open_change_source = &OpenNetworkChangeSource)
      : keep_running_(keep_running),
        account_setup_command_(std::move(account_setup_command)),
        folding_(std::move(clock)),
        open_change_source_(std::move(open_change_source)) {}

  // Where updates and refusals of the custom command are logged; the service object, once it exists.
  void SetEventLog(CServiceHost& host) { event_log_ = &host; }

  void Start() override;
  void Pass(PollIntervalWait& wait) override;

 private:
  // Logs the wait for an account when a pass first finds none.
  void NoteMissingAccount(const CSettingsFile& settings);
  // Writes the entry unless it is a repeat held back.
  void Log(const ServiceLogEntry& entry);

  CKeepRunningFlag& keep_running_;
  std::optional<std::string> account_setup_command_;  // nullopt: say nothing about the account
  bool waiting_for_account_ = false;
  CServiceHost* event_log_ = nullptr;
  CRepeatFolding folding_;
  ChangeSourceOpener open_change_source_;
  // Ends the poll-interval wait soon after an address or route change; from Start on.
  std::unique_ptr<CNetworkChangeWaker> change_waker_;
  std::unique_ptr<CThreadSockets> sockets_;
  CUpdateLoopState loop_state_;
};

}  // namespace zelquo::service
