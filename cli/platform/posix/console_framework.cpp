#include "cli/console_framework.h"

namespace zelquo::cli {

// The POSIX HTTP transport needs nothing started before its first request.
bool StartConsoleFramework() { return true; }

}  // namespace zelquo::cli
