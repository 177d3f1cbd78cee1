#include "cycle/thread_sockets.h"

#include <winsock2.h>
#include <windows.h>

namespace zelquo {

CThreadSockets::CThreadSockets() {
  WSADATA data{};
  started_ = WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

CThreadSockets::~CThreadSockets() {
  if (started_) WSACleanup();
}

}  // namespace zelquo
