#include "host/service_program.h"

#include "cycle/keep_running_flag.h"
#include "host/service_command_line.h"
#include "host/service_update_passes.h"
#include "host/update_service.h"

namespace zelquo::service {

int RunServiceProgram(const std::vector<std::string>& parameters) {
  // The application's keep-running flag: set now, cleared by the stop control.
  CKeepRunningFlag keep_running;
  CServiceUpdatePasses passes(keep_running);

  CServiceCommandLine command_line;
  CUpdateService update_service(keep_running, passes);
  passes.SetEventLog(update_service);
  ParseServiceParameters(parameters, command_line);

  bool succeeded = true;
  switch (command_line.Action()) {
    case ServiceAction::kRunAsService: succeeded = update_service.StartDispatcher(); break;
    case ServiceAction::kInstall: succeeded = update_service.Install(); break;
    case ServiceAction::kUninstall: succeeded = update_service.Uninstall(); break;
    case ServiceAction::kDebug: update_service.Debug(); break;
    case ServiceAction::kHelp: update_service.Help(); break;
  }
  return succeeded ? 0 : 1;
}

}  // namespace zelquo::service
