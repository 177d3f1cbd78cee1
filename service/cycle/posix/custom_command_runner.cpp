// RunCustomCommand on POSIX: through sh -c, which takes the line as it is, with the time-out and
// the stop request ending it.
#include "cycle/posix/shell_command.h"
#include "cycle/update_cycle.h"

namespace zelquo {

void RunCustomCommand(const std::string& command_line) {
  // How the command ended means nothing to the cycle: it goes on with its pass either way.
  [[maybe_unused]] const ShellCommandEnd end = RunShellCommand(command_line);
}

}  // namespace zelquo
