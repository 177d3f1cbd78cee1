#include "host/service_update_passes.h"

#include "host/command_file_trust.h"
#include "settings/settings.h"

namespace zelquo::service {

void CServiceUpdatePasses::Start() {
  sockets_ = std::make_unique<CThreadSockets>();
  BeginUpdateLoop(ProgramSettings());
}

void CServiceUpdatePasses::Pass(PollIntervalWait& wait) {
  const CSettingsFile settings = ProgramSettings();
  UpdateCycleContext context(settings, wait, ProtocolProgram::kService);
  // A stop ends the ten-minute pause after a "911" answer: the manager, and whoever asked for the
  // stop, would otherwise wait out the rest of it.
  context.sleep = [this](std::chrono::milliseconds duration) { keep_running_.WaitWhileSet(duration); };
  context.command.refusal = [](const CSettingsFile& file) { return CommandFileRefusal(file.Path()); };
  context.command.refused = [this](const std::string& reason) {
    if (event_log_ != nullptr) event_log_->LogEvent(EventType::kWarning, message_ids::kCustomCommandRefused, reason);
  };
  RunUpdatePass(context, loop_state_);
}

}  // namespace zelquo::service
