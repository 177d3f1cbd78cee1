// The service program's entry on Windows: a windowed program that never opens a window.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/service_program.h"
#include "program_identity.h"

namespace zelquo {
const char kProgramFileName[] = "zelquoiucsvc.exe";
}  // namespace zelquo

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*command_line*/, int /*show*/) {
  std::vector<std::string> parameters;
  for (int i = 1; i < __argc; ++i) parameters.emplace_back(__argv[i]);
  return zelquo::service::RunServiceProgram(parameters);
}
