#include "cli/command_line.h"

#include "detection/ip_check_servers.h"

namespace zelquo::cli {

std::vector<std::string> ArgumentsAfterProgramName(int argc, const char* const* argv) {
  if (argc < 1) return {};
  return std::vector<std::string>(argv + 1, argv + argc);
}

CommandLine SplitArguments(const std::vector<std::string>& arguments) {
  const auto at = [&](std::size_t i) { return i < arguments.size() ? arguments[i] : std::string(); };
  CommandLine line;
  line.password = at(0);
  line.host_name = at(1);
  const std::string third = at(2);
  if (IsDottedDigits(third)) {
    line.address = third;
  } else {
    line.alias = third;
    line.address = at(3);
  }
  return line;
}

RunMode ChooseRunMode(const CommandLine& command_line) {
  if (command_line.password.empty()) return RunMode::kSimpleUsage;
  if (command_line.password == "/?" || command_line.password == "-help") return RunMode::kHelp;
  return RunMode::kSingleHost;
}

}  // namespace zelquo::cli
