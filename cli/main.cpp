// zelquoipupdate: one update pass from the settings file, or one update for the host name given
// on the command line, printed on standard output.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/console_framework.h"
#include "cli/update_passes.h"
#include "cli/usage_text.h"
#include "program_identity.h"
#include "settings/settings.h"

namespace zelquo {

const char kProgramFileName[] = "zelquoipupdate.exe";

}  // namespace zelquo

namespace {

void PrintLine(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zelquo;
  if (!cli::StartConsoleFramework()) {
    std::fputs("Fatal Error: MFC initialization failed\n", stderr);
    return 1;
  }
  const cli::CommandLine command_line = cli::SplitArguments(cli::ArgumentsAfterProgramName(argc, argv));
  const CSettingsFile settings = ProgramSettings();
  switch (cli::ChooseRunMode(command_line)) {
    case cli::RunMode::kSimpleUsage:
      PrintLine(cli::RunSimpleUsagePass(cli::ProductionEnvironment(settings)));
      break;
    case cli::RunMode::kHelp:
      for (const std::string& line : cli::UsageLines()) PrintLine(line);
      break;
    case cli::RunMode::kSingleHost:
      PrintLine(cli::RunSingleHostPass(cli::ProductionEnvironment(settings), command_line));
      break;
  }
  std::fflush(stdout);
  return 0;
}
