#include "logic/quoted_command_line.h"

namespace zelquo::gui {

namespace {

void AppendQuotedArgument(std::string& line, std::string_view argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos) {
    line += argument;
    return;
  }
  line += '"';
  std::size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes are literal unless a double quote follows them.
    line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    line += c;
    backslashes = 0;
  }
  line.append(2 * backslashes, '\\');
  line += '"';
}

}  // namespace

std::string QuotedCommandLine(std::string_view program, const std::vector<std::string>& arguments) {
  // The runtime takes the program name up to the next double quote, with no escapes.
  std::string line = "\"" + std::string(program) + "\"";
  for (const std::string& argument : arguments) {
    line += ' ';
    AppendQuotedArgument(line, argument);
  }
  return line;
}

}  // namespace zelquo::gui
