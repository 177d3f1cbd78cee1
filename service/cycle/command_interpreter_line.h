// The text the C runtime's system() is given to run a command line as written. Running it, and
// deciding whether it may run, is left to the update cycle.
#pragma once

#include <string>

namespace zelquo {

// On Windows system() runs "cmd.exe /c <text>", and cmd drops the first and the last quote of a
// line unless it holds exactly two that enclose an executable's path: the line goes in one more
// pair of quotes, for cmd to drop. On POSIX it runs "sh -c <text>", which takes the line as it is.
[[nodiscard]] std::string CommandInterpreterLine(const std::string& command_line);

}  // namespace zelquo
