// The few socket operations the stand-in provider needs, over POSIX sockets or Winsock. This pair
// of files is the only place that knows which one it is; everything else is portable C++.
//
// Sockets made here are not inherited by child processes, so a test that starts a program while
// a server runs does not keep the server's ports open after Stop.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace standin::net {

// A native socket (an int descriptor or a SOCKET), widened so that both fit.
using Handle = std::uintptr_t;
inline constexpr Handle kInvalidHandle = ~Handle{0};

// Owns one socket; closing is the destructor's job.
class Socket {
 public:
  Socket() = default;
  explicit Socket(Handle handle) : handle_(handle) {}
  Socket(Socket&& other) noexcept : handle_(other.handle_) { other.handle_ = kInvalidHandle; }
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() { Close(); }

  void Close();
  [[nodiscard]] Handle Get() const { return handle_; }
  [[nodiscard]] bool Valid() const { return handle_ != kInvalidHandle; }

 private:
  Handle handle_ = kInvalidHandle;
};

struct Endpoint {
  std::string address;  // numeric, e.g. "127.0.0.1" or "::1"
  std::uint16_t port = 0;
};

// A non-blocking listening TCP socket on a numeric IPv4 or IPv6 address; port 0 picks a free
// one. Throws std::runtime_error naming the address, the port and the system's reason.
[[nodiscard]] Socket ListenTcp(const std::string& address, std::uint16_t port);

// A blocking TCP connection (for test clients). Throws std::runtime_error on failure.
[[nodiscard]] Socket ConnectTcp(const std::string& address, std::uint16_t port);

// The next pending connection, made non-blocking; an invalid Socket when there is none.
[[nodiscard]] Socket Accept(const Socket& listener);

[[nodiscard]] Endpoint LocalEndpoint(const Socket& socket);

enum class IoStatus {
  kDone,        // `bytes` were moved (at least one)
  kWouldBlock,  // nothing to do right now on a non-blocking socket
  kClosed,      // the peer ended its side (receive only)
  kFailed,      // reset or another error
};
struct IoResult {
  IoStatus status = IoStatus::kFailed;
  std::size_t bytes = 0;
};

[[nodiscard]] IoResult Receive(const Socket& socket, char* buffer, std::size_t size);
// Never raises SIGPIPE.
[[nodiscard]] IoResult Send(const Socket& socket, const char* data, std::size_t size);

// Sends FIN; the socket can still receive.
void ShutdownSend(const Socket& socket);

// Waits up to `timeout` until one of `sockets` can be read without blocking (data, a pending
// connection, end of stream or an error all count). Returns its index, or -1 on time-out.
[[nodiscard]] int WaitReadable(std::span<const Handle> sockets, std::chrono::milliseconds timeout);
// Waits up to `timeout` until `socket` can be written to (or has failed).
[[nodiscard]] bool WaitWritable(Handle socket, std::chrono::milliseconds timeout);

}  // namespace standin::net
