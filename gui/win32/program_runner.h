// Starting a program by its full path and waiting for it to end, with no command interpreter in
// between and no console window: how the Misc page's service buttons run net.exe and the service
// program. What to run is the page logic's; the result is left to the caller.
#pragma once

#include <windows.h>

#include <string>

#include "logic/misc_page.h"

namespace zelquo::gui {

// The system's own folder (GetSystemDirectoryA) without a final separator; empty when the
// system cannot tell.
[[nodiscard]] std::string SystemFolder();

// One run: whether the program was started and waited for, and then its exit code, else the
// error code of the call that failed.
struct ProgramRunResult {
  bool ran = false;
  DWORD code = 0;
};

// Starts command.program (nothing is searched for: a path that does not exist starts nothing)
// with its arguments quoted one by one, without a console window, and waits until it ends.
[[nodiscard]] ProgramRunResult RunProgramAndWait(const ServiceCommand& command);

}  // namespace zelquo::gui
