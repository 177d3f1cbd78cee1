// The Windows start-up of the console utility with its one system call replaceable, so that
// tests can make the sockets layer refuse to start.
#pragma once

#include <winsock2.h>

namespace zelquo::cli::detail {

using SocketsStartup = int(WINAPI*)(WORD, LPWSADATA);

[[nodiscard]] bool StartConsoleFramework(SocketsStartup start_sockets);

}  // namespace zelquo::cli::detail
