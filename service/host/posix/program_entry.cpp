// The service program's entry on POSIX systems: a daemon that stays in the foreground.
#include <string>
#include <vector>

#include "host/service_program.h"
#include "program_identity.h"

namespace zelquo {
const char kProgramFileName[] = "zelquoiucsvc";
}  // namespace zelquo

int main(int argc, char** argv) {
  std::vector<std::string> parameters(argv + 1, argv + argc);
  return zelquo::service::RunServiceProgram(parameters);
}
