// Asking the user at the terminal, and reading what a script pipes in. Prompts go to standard
// error, so that standard output carries only what the command prints.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zelquo::settings_cli {

[[nodiscard]] bool StandardInputIsTerminal();

// Prints the prompt and reads one line from the terminal on standard input, without its line
// end; nullopt at the end of input. Without echo the terminal's settings are put back on every
// way out, an interrupt (Ctrl+C) or a termination signal too.
[[nodiscard]] std::optional<std::string> AskLine(std::string_view prompt, bool echo);

// The first line of standard input without its line end ("\n" or "\r\n"); nullopt when the
// input ends before any byte.
[[nodiscard]] std::optional<std::string> ReadStandardInputLine();

}  // namespace zelquo::settings_cli
