// zelquoiuc on Linux: the settings window's pages as subcommands of a terminal command. Every
// rule, message and order of writes comes from the pages' portable logic (gui/logic/); this code
// reads the command line, asks at the terminal, prints, and turns the outcome into an exit code.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "logic/account_check.h"
#include "settings/settings.h"

namespace zelquo::settings_cli {

enum ExitCode : int { kDone = 0, kRefused = 1, kUsageError = 2 };

// The settings file the command edits and the streams it prints to: what it shows on standard
// output, the pages' refusals and usage errors on standard error. The terminal and the daemon are
// reached through terminal.h and service_probe.h.
struct CommandEnvironment {
  explicit CommandEnvironment(const CSettingsFile& settings_file, std::ostream& output, std::ostream& errors)
      : settings(settings_file), out(output), err(errors) {}

  const CSettingsFile& settings;
  std::ostream& out;
  std::ostream& err;
};

// Runs the subcommand named by the arguments after the program name; returns the exit code.
[[nodiscard]] int RunSettingsCommand(const CommandEnvironment& environment, const std::vector<std::string>& arguments);

}  // namespace zelquo::settings_cli
