// The service program's command line: which one action the process performs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelquo::service {

enum class ServiceAction : std::uint32_t { kRunAsService = 0, kInstall = 1, kUninstall = 2, kDebug = 3, kHelp = 4 };

class CServiceCommandLine {
 public:
  CServiceCommandLine() = default;
  virtual ~CServiceCommandLine() = default;

  // One parameter. A switch arrives without its leading "-" or "/"; switch words compare
  // without regard to case, and the last recognised one decides. Other parameters are ignored.
  virtual void ParseParam(std::string_view param, bool is_switch, bool is_last);

  [[nodiscard]] ServiceAction Action() const { return action_; }

 private:
  ServiceAction action_ = ServiceAction::kRunAsService;
};

// Passes each parameter (the program name excluded) to command_line.ParseParam: one that begins
// with "-" or "/" is a switch, its first character dropped.
void ParseServiceParameters(const std::vector<std::string>& parameters, CServiceCommandLine& command_line);

}  // namespace zelquo::service
