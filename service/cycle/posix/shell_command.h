// Runs a command line through /bin/sh -c in a process group of its own and waits for it, at
// most for a time-out and never past the process's stop request: then the whole group is ended,
// so that a hanging command can neither stop the updates for good nor hold up a stop. Deciding
// whether a command may run, and what it is, is left to the update cycle.
#pragma once

#include <chrono>
#include <string>

namespace zelquo {

// How long the custom command may run before its process group is ended.
inline constexpr std::chrono::seconds kCustomCommandTimeout{60};
// After SIGTERM, how long the group has to end before SIGKILL follows.
inline constexpr std::chrono::milliseconds kCommandKillGrace{300};

enum class ShellCommandEnd {
  kExited,      // the shell ended by itself (its status means nothing to the cycle)
  kTimedOut,    // the time-out passed: the group was ended
  kStopped,     // the stop request came: the group was ended (or, before it, never started)
  kNotStarted,  // the shell could not be started
};

[[nodiscard]] ShellCommandEnd RunShellCommand(const std::string& command_line,
                                              std::chrono::milliseconds timeout = kCustomCommandTimeout,
                                              std::chrono::milliseconds kill_grace = kCommandKillGrace);

}  // namespace zelquo
