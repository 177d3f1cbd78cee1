// The sockets layer's start-up, held for as long as an object that needs it lives. Windows
// counts start-ups per process, so nested sessions are fine; each one ends its own.
#pragma once

#include <winsock2.h>
#include <windows.h>

namespace zelquo::platform {

class CWinsockSession {
 public:
  // Windows Sockets 1.1 is all the engine asks for.
  static constexpr WORD kVersion = MAKEWORD(1, 1);

  CWinsockSession() {
    WSADATA data{};
    started_ = WSAStartup(kVersion, &data) == 0;
  }
  CWinsockSession(const CWinsockSession&) = delete;
  CWinsockSession& operator=(const CWinsockSession&) = delete;
  ~CWinsockSession() {
    if (started_) WSACleanup();
  }

  [[nodiscard]] bool Started() const { return started_; }

 private:
  bool started_ = false;
};

}  // namespace zelquo::platform
