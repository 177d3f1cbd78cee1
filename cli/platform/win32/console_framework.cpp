#include "cli/console_framework.h"

#include <winsock2.h>

namespace zelquo::cli {

bool StartConsoleFramework() {
  WSADATA data;
  // Stays started until the process ends.
  return WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

}  // namespace zelquo::cli
