// RunCustomCommand on Windows: through the C runtime's system(), which runs cmd.exe /c and waits.
#include <cstdlib>

#include "cycle/command_interpreter_line.h"
#include "cycle/update_cycle.h"

namespace zelquo {

void RunCustomCommand(const std::string& command_line) {
  // The interpreter's exit status means nothing to the cycle.
  [[maybe_unused]] const int status = std::system(CommandInterpreterLine(command_line).c_str());
}

}  // namespace zelquo
