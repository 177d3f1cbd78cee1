// The console utility's arguments: what each position means and which mode a run takes.
#pragma once

#include <string>
#include <vector>

namespace zelquo::cli {

struct CommandLine {
  std::string password;   // first argument
  std::string host_name;  // second
  std::string alias;      // third, unless it is all digits and dots
  std::string address;    // third when all digits and dots (an empty third counts), else fourth
};

// The arguments after the program name, from main's argc and argv. A program can be started
// with no arguments at all, not even its name (argc 0).
[[nodiscard]] std::vector<std::string> ArgumentsAfterProgramName(int argc, const char* const* argv);

// Splits the arguments after the program name; missing ones are empty, any past the fourth are
// ignored.
[[nodiscard]] CommandLine SplitArguments(const std::vector<std::string>& arguments);

enum class RunMode { kSimpleUsage, kHelp, kSingleHost };

// No password: the simple-usage pass. Exactly "-help" or "/?" (case-sensitive): the usage text.
// Anything else is a password for the single-host pass.
[[nodiscard]] RunMode ChooseRunMode(const CommandLine& command_line);

}  // namespace zelquo::cli
