#include "host/service_command_line.h"

#include "text/equals_ignoring_case.h"

namespace zelquo::service {

void CServiceCommandLine::ParseParam(std::string_view param, bool is_switch, bool /*is_last*/) {
  if (!is_switch) return;
  if (EqualsIgnoringCase(param, "install")) {
    action_ = ServiceAction::kInstall;
  } else if (EqualsIgnoringCase(param, "remove") || EqualsIgnoringCase(param, "uninstall")) {
    action_ = ServiceAction::kUninstall;
  } else if (EqualsIgnoringCase(param, "debug")) {
    action_ = ServiceAction::kDebug;
  } else if (EqualsIgnoringCase(param, "help") || param == "?") {
    action_ = ServiceAction::kHelp;
  }
}

void ParseServiceParameters(const std::vector<std::string>& parameters, CServiceCommandLine& command_line) {
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    std::string_view param = parameters[i];
    const bool is_switch = !param.empty() && (param.front() == '-' || param.front() == '/');
    if (is_switch) param.remove_prefix(1);
    command_line.ParseParam(param, is_switch, i + 1 == parameters.size());
  }
}

}  // namespace zelquo::service
