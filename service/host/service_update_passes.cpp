#include "host/service_update_passes.h"

#include "crypto/scramble.h"
#include "host/command_file_trust.h"
#include "settings/settings.h"

namespace zelquo::service {
namespace {

// Whether a cycle has anything to send: a password, and a user name for the account request or
// a host name or alias for their own requests. Without one the cycle stops before any request.
bool HasAccount(const CSettingsFile& settings) {
  if (UnscrambleText(settings.Read(keys::kPassword)).empty()) return false;
  return !settings.Read(keys::kUsername).empty() || settings.ReadCount(keys::kDomainNames) > 0 ||
         settings.ReadCount(keys::kAliases) > 0;
}

}  // namespace

void CServiceUpdatePasses::Start() {
  sockets_ = std::make_unique<CThreadSockets>();
  if (open_change_source_) {
    change_waker_ = std::make_unique<CNetworkChangeWaker>(open_change_source_(), [this] { keep_running_.Wake(); });
  }
  BeginUpdateLoop(ProgramSettings());
}

void CServiceUpdatePasses::Pass(PollIntervalWait& wait) {
  const CSettingsFile settings = ProgramSettings();
  NoteMissingAccount(settings);
  UpdateCycleContext context(settings, wait, ProtocolProgram::kService);
  // A stop ends the ten-minute pause after a "911" answer: the manager, and whoever asked for the
  // stop, would otherwise wait out the rest of it.
  context.sleep = [this](std::chrono::milliseconds duration) { keep_running_.WaitWhileSet(duration); };
  context.command.refusal = [](const CSettingsFile& file) { return CommandFileRefusal(file.Path()); };
  context.command.refused = [this](const std::string& reason) { Log(CommandRefusalLogEntry(reason)); };
  context.reports.exchanged = [this](const ExchangeReport& report) { Log(ExchangeLogEntry(report)); };
  context.reports.detection_failed = [this](const std::string& address) { Log(DetectionLogEntry(address)); };
  context.no_ipv6_found = [this] { Log(NoIpv6LogEntry()); };
  RunUpdatePass(context, loop_state_);
}

void CServiceUpdatePasses::Log(const ServiceLogEntry& entry) {
  if (event_log_ == nullptr) return;
  if (const auto admitted = folding_.Admit(entry)) event_log_->LogEvent(admitted->type, admitted->id, admitted->text);
}

void CServiceUpdatePasses::NoteMissingAccount(const CSettingsFile& settings) {
  if (!account_setup_command_) return;
  const bool waiting = !HasAccount(settings);
  // Once per wait, not per pass: a daemon left without an account would otherwise fill its log.
  if (waiting && !waiting_for_account_ && event_log_ != nullptr) {
    event_log_->LogEvent(EventType::kInformation, message_ids::kWaitingForAccount, *account_setup_command_);
  }
  waiting_for_account_ = waiting;
}

}  // namespace zelquo::service
