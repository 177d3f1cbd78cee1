#include "program_runner.h"

#include "framework/win_handles.h"
#include "logic/quoted_command_line.h"

namespace zelquo::gui {

std::string SystemFolder() {
  char folder[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryA(folder, sizeof folder);
  if (length == 0 || length >= sizeof folder) return {};
  return std::string(folder, length);
}

ProgramRunResult RunProgramAndWait(const ServiceCommand& command) {
  // CreateProcessA may write into the command line, so it gets a buffer of its own.
  std::string line = QuotedCommandLine(command.program, command.arguments);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  // With the application name given, CreateProcess takes that file and searches nowhere (without
  // it, the current folder comes first). CREATE_NO_WINDOW: a console program gets no console.
  if (!CreateProcessA(command.program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &started)) {
    return {false, GetLastError()};
  }
  const win::CKernelHandle process(started.hProcess);
  const win::CKernelHandle thread(started.hThread);
  // No time limit, as with the command interpreter before: net gives up on its own on a service
  // that does not answer, and the service program's install returns at once.
  if (WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0) return {false, GetLastError()};
  DWORD exit_code = 0;
  if (!GetExitCodeProcess(process.Get(), &exit_code)) return {false, GetLastError()};
  return {true, exit_code};
}

}  // namespace zelquo::gui
