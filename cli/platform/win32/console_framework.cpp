#include "cli/platform/win32/console_framework.h"

#include "cli/console_framework.h"

namespace zelquo::cli {

namespace detail {

bool StartConsoleFramework(SocketsStartup start_sockets) {
  WSADATA data;
  // Stays started until the process ends. A sockets layer that does not start is not the
  // program's failure: "-help" needs no network, and the requests then fail and say so.
  (void)start_sockets(MAKEWORD(1, 1), &data);
  return true;
}

}  // namespace detail

bool StartConsoleFramework() { return detail::StartConsoleFramework(&WSAStartup); }

}  // namespace zelquo::cli
