// Asking the user at the terminal, and reading what a script pipes in. Prompts go to standard
// error, so that standard output carries only what the command prints.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zelquo::settings_cli {

[[nodiscard]] bool StandardInputIsTerminal();

// The longest line the command takes; no field it asks for may be longer. Reading stops just past
// it, so that a line without end (a stream of bytes piped in) is never read on for ever.
inline constexpr std::size_t kMaxInputLine = 255;

// Prints the prompt and reads one line from the terminal on standard input, without its line
// end; nullopt at the end of input. A line longer than kMaxInputLine comes back cut just past
// kMaxInputLine, the rest unread. Without echo the terminal's settings are put back on every way
// out, an interrupt (Ctrl+C) or a termination signal too.
[[nodiscard]] std::optional<std::string> AskLine(std::string_view prompt, bool echo);

// The first line of standard input without its line end ("\n" or "\r\n"); nullopt when the
// input ends before any byte. Cut as AskLine's.
[[nodiscard]] std::optional<std::string> ReadStandardInputLine();

}  // namespace zelquo::settings_cli
