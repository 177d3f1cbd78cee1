// The service program's start-up routine: parse the command line, build the one service object,
// perform the chosen action, and end.
#pragma once

#include <string>
#include <vector>

namespace zelquo::service {

// parameters: the command line without the program name. Returns the process's exit code: 0
// when the action succeeded, 1 when it failed (nobody is told more than that).
int RunServiceProgram(const std::vector<std::string>& parameters);

}  // namespace zelquo::service
