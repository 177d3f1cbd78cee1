// RunCustomCommand on Windows: through the C runtime's system(), which runs cmd.exe /c and waits.
//
// cmd.exe /c keeps a line's quotes only when there are exactly two, around the path of an
// executable, with white space and no special character (&<>()@^|) between them; otherwise it
// drops the first and the last quote of the line. The line therefore goes in one more pair of
// quotes, which is all cmd drops. The one line this changes is an unquoted executable's path with
// spaces: cmd keeps the added pair and runs that program, where the bare path ran nothing.
#include <cstdlib>

#include "cycle/update_cycle.h"

namespace zelquo {

void RunCustomCommand(const std::string& command_line) {
  // The interpreter's exit status means nothing to the cycle.
  [[maybe_unused]] const int status = std::system(('"' + command_line + '"').c_str());
}

}  // namespace zelquo
