// A Windows command line for starting a program with CreateProcess: the program and its arguments
// quoted so that the started program's C runtime splits them back exactly. Nothing here goes
// through a command interpreter, so its special characters (& ( ) ^ | < > %) need no care.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zelquo::gui {

// The program always in double quotes (a path holds no double quote); each argument as it is when
// it needs no quoting, else in double quotes with its double quotes and the backslashes before
// them (or before the closing quote) escaped by backslashes.
[[nodiscard]] std::string QuotedCommandLine(std::string_view program, const std::vector<std::string>& arguments);

}  // namespace zelquo::gui
