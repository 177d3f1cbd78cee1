// A blocking TCP client socket with a time-out, bound to a chosen local address. Windows uses
// Winsock, POSIX uses BSD sockets; both keep the socket non-blocking underneath and wait for
// readiness, so that every connect, send and receive gives up after the time-out without
// progress. Closing is the destructor's job as well as Close's.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string_view>

namespace zelquo::platform {

class CTimeoutSocket {
 public:
  static constexpr std::chrono::seconds kDefaultTimeout{30};

  CTimeoutSocket();
  CTimeoutSocket(const CTimeoutSocket&) = delete;
  CTimeoutSocket& operator=(const CTimeoutSocket&) = delete;
  ~CTimeoutSocket();

  // A time-out of 0 leaves the current one unchanged.
  void SetTimeout(std::chrono::seconds timeout);
  [[nodiscard]] std::chrono::seconds Timeout() const { return timeout_; }

  // A stream socket bound to local_address (a dotted IPv4 address of this machine, or an IPv6
  // address text, "::" for any, which makes an IPv6 socket) and local_port (0: any). False when
  // the address is neither, or the socket cannot be made or bound (an address this machine does
  // not hold, say); nothing is sent then.
  [[nodiscard]] bool Create(std::string_view local_address, std::uint16_t local_port = 0);

  // Connects to host (a literal address or a name, of which the first address of the socket's
  // family is used) on port.
  [[nodiscard]] bool Connect(std::string_view host, std::uint16_t port);

  // Sends all count bytes: count, or -1 on the first failure (a time-out included).
  [[nodiscard]] int Send(const char* bytes, int count);

  // Up to count bytes: their number, 0 when the peer has closed, -1 on failure or time-out.
  [[nodiscard]] int Receive(char* buffer, int count);

  void Close();

  // True once a send, receive or connect ended by the time-out.
  [[nodiscard]] bool TimedOut() const { return timed_out_; }
  // The system's error code of the last failure (WSAECONNABORTED on Windows, ETIMEDOUT on POSIX
  // after a time-out).
  [[nodiscard]] int LastError() const { return last_error_; }

 private:
  struct Impl;  // the native socket and, on Windows, the sockets-layer start-up
  std::unique_ptr<Impl> impl_;
  std::chrono::seconds timeout_ = kDefaultTimeout;
  bool timed_out_ = false;
  int last_error_ = 0;
};

}  // namespace zelquo::platform
