// cmd.exe /c keeps a line's quotes only when there are exactly two, around the path of an
// executable, with white space and no special character (&<>()@^|) between them; otherwise it
// drops the first and the last quote of the line. A line in one more pair of quotes therefore
// loses just that pair. The one line it changes is an unquoted executable's path with spaces:
// cmd keeps the added pair and runs that program, where the bare path ran nothing.
#include "cycle/command_interpreter_line.h"

namespace zelquo {

std::string CommandInterpreterLine(const std::string& command_line) { return '"' + command_line + '"'; }

}  // namespace zelquo
