// zelquoiuc on Linux: the settings command. It works on the settings file beside the program,
// as the other programs find it.
#include <sys/stat.h>

#include <iostream>
#include <string>
#include <vector>

#include "program_identity.h"
#include "settings/settings.h"
#include "settings_command.h"

namespace zelquo {
const char kProgramFileName[] = "zelquoiuc";
}  // namespace zelquo

int main(int argc, char** argv) {
  using namespace zelquo;
  // The settings hold the account's password: nothing this command creates is for other users.
  umask(0077);
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const CSettingsFile settings = ProgramSettings();
  const settings_cli::CommandEnvironment environment(settings, std::cout, std::cerr);
  const int exit_code = settings_cli::RunSettingsCommand(environment, arguments);
  std::cout.flush();
  return std::cout.good() ? exit_code : settings_cli::kRefused;
}
