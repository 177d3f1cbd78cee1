#include "socket_compat.h"

#include <cstring>
#include <stdexcept>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
// after the Winsock headers
#include <windows.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace standin::net {

namespace {

#ifdef _WIN32

using NativeHandle = SOCKET;
using SockLen = int;

// Winsock needs WSAStartup once per process; it is never undone, the process ends first.
void EnsureSocketsReady() {
  static const bool ready = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!ready) throw std::runtime_error("standin: WSAStartup failed");
}

int LastError() { return WSAGetLastError(); }

std::string ErrorText(int code) {
  char text[256] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
  std::string result(text, length);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                             result.back() == ' ' || result.back() == '.')) {
    result.pop_back();
  }
  if (result.empty()) result = "Winsock error";
  return result + " (" + std::to_string(code) + ")";
}

bool IsWouldBlock(int code) { return code == WSAEWOULDBLOCK; }

void CloseNative(Handle handle) { closesocket(static_cast<NativeHandle>(handle)); }

bool MakeNonBlockingAndPrivate(NativeHandle socket) {
  SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
  u_long on = 1;
  return ioctlsocket(socket, FIONBIO, &on) == 0;
}

NativeHandle NewSocket(int family) {
  const NativeHandle socket = ::socket(family, SOCK_STREAM, IPPROTO_TCP);
  if (socket != INVALID_SOCKET) {
    SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
  }
  return socket;
}

// Windows SO_REUSEADDR would let a second socket take over a port already in use, so it is left
// alone: a busy port must make Listen fail.
void AllowQuickRebind(NativeHandle) {}

NativeHandle AcceptNative(NativeHandle listener) { return ::accept(listener, nullptr, nullptr); }

int SendNative(NativeHandle socket, const char* data, std::size_t size) {
  return ::send(socket, data, static_cast<int>(size), 0);
}

int ReceiveNative(NativeHandle socket, char* buffer, std::size_t size) {
  return ::recv(socket, buffer, static_cast<int>(size), 0);
}

void ShutdownSendNative(NativeHandle socket) { ::shutdown(socket, SD_SEND); }

// select() on Windows takes a count of sockets, not a highest descriptor, so it has no limit on
// socket values. Each socket goes into one set only: a failed connection is readable (recv tells
// the error) and a failed send shows on the next send. Wine 8's wineserver aborts when one select
// holds a socket twice and the socket hangs up between its two checks of that socket (it marks
// the first entry signalled but judges the call by the second, then times out a signalled call).
int WaitNative(std::span<const Handle> sockets, bool for_write, std::chrono::milliseconds timeout) {
  fd_set set;
  FD_ZERO(&set);
  for (const Handle handle : sockets) {
    if (set.fd_count >= FD_SETSIZE) break;
    FD_SET(static_cast<NativeHandle>(handle), &set);
  }
  timeval wait{};
  wait.tv_sec = static_cast<long>(timeout.count() / 1000);
  wait.tv_usec = static_cast<long>((timeout.count() % 1000) * 1000);
  const int ready = ::select(0, for_write ? nullptr : &set, for_write ? &set : nullptr, nullptr, &wait);
  if (ready <= 0) return -1;
  for (std::size_t i = 0; i < sockets.size(); ++i) {
    if (FD_ISSET(static_cast<NativeHandle>(sockets[i]), &set)) return static_cast<int>(i);
  }
  return -1;
}

#else  // POSIX

using NativeHandle = int;
using SockLen = socklen_t;

void EnsureSocketsReady() {}

int LastError() { return errno; }

std::string ErrorText(int code) { return std::strerror(code); }

bool IsWouldBlock(int code) { return code == EAGAIN || code == EWOULDBLOCK; }

void CloseNative(Handle handle) { ::close(static_cast<NativeHandle>(handle)); }

bool MakeNonBlockingAndPrivate(NativeHandle socket) {
  ::fcntl(socket, F_SETFD, FD_CLOEXEC);
  const int flags = ::fcntl(socket, F_GETFL, 0);
  return flags != -1 && ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
}

NativeHandle NewSocket(int family) { return ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0); }

// Fixed ports (80, 8245) are reused from one test run to the next; connections of the last run
// may still be in TIME_WAIT.
void AllowQuickRebind(NativeHandle socket) {
  const int on = 1;
  ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

NativeHandle AcceptNative(NativeHandle listener) {
  return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

int SendNative(NativeHandle socket, const char* data, std::size_t size) {
  return static_cast<int>(::send(socket, data, size, MSG_NOSIGNAL));
}

int ReceiveNative(NativeHandle socket, char* buffer, std::size_t size) {
  return static_cast<int>(::recv(socket, buffer, size, 0));
}

void ShutdownSendNative(NativeHandle socket) { ::shutdown(socket, SHUT_WR); }

int WaitNative(std::span<const Handle> sockets, bool for_write, std::chrono::milliseconds timeout) {
  std::vector<pollfd> polled;
  polled.reserve(sockets.size());
  for (const Handle handle : sockets) {
    polled.push_back(pollfd{static_cast<NativeHandle>(handle),
                            static_cast<short>(for_write ? POLLOUT : POLLIN), 0});
  }
  const int ready = ::poll(polled.data(), polled.size(), static_cast<int>(timeout.count()));
  if (ready <= 0) return -1;
  for (std::size_t i = 0; i < polled.size(); ++i) {
    if (polled[i].revents != 0) return static_cast<int>(i);
  }
  return -1;
}

#endif

NativeHandle Native(const Socket& socket) { return static_cast<NativeHandle>(socket.Get()); }

[[noreturn]] void Fail(const std::string& what, const std::string& address, std::uint16_t port,
                       const std::string& reason) {
  throw std::runtime_error("standin: cannot " + what + " " + address + " port " +
                           std::to_string(port) + ": " + reason);
}

// A numeric address only: a name could resolve to another family than the caller expects.
sockaddr_storage ParseAddress(const std::string& address, std::uint16_t port, SockLen& length,
                              const char* what) {
  sockaddr_storage storage{};
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (address.empty() || getaddrinfo(address.c_str(), service.c_str(), &hints, &found) != 0 ||
      found == nullptr) {
    Fail(what, address, port, "not a numeric IPv4 or IPv6 address");
  }
  std::memcpy(&storage, found->ai_addr, found->ai_addrlen);
  length = static_cast<SockLen>(found->ai_addrlen);
  freeaddrinfo(found);
  return storage;
}

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = kInvalidHandle;
  }
  return *this;
}

void Socket::Close() {
  if (Valid()) CloseNative(handle_);
  handle_ = kInvalidHandle;
}

Socket ListenTcp(const std::string& address, std::uint16_t port) {
  EnsureSocketsReady();
  SockLen length = 0;
  sockaddr_storage where = ParseAddress(address, port, length, "listen on");
  const NativeHandle native = NewSocket(where.ss_family);
  Socket socket(static_cast<Handle>(native));
  if (native == static_cast<NativeHandle>(kInvalidHandle)) {
    Fail("listen on", address, port, ErrorText(LastError()));
  }
  AllowQuickRebind(native);
  if (where.ss_family == AF_INET6) {
    // "::" then means IPv6 only, so that an IPv4 listener on the same port can exist beside it.
    const int on = 1;
    setsockopt(native, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&on), sizeof on);
  }
  if (::bind(native, reinterpret_cast<const sockaddr*>(&where), length) != 0 ||
      ::listen(native, SOMAXCONN) != 0 || !MakeNonBlockingAndPrivate(native)) {
    Fail("listen on", address, port, ErrorText(LastError()));
  }
  return socket;
}

Socket ConnectTcp(const std::string& address, std::uint16_t port) {
  EnsureSocketsReady();
  SockLen length = 0;
  sockaddr_storage where = ParseAddress(address, port, length, "connect to");
  const NativeHandle native = NewSocket(where.ss_family);
  Socket socket(static_cast<Handle>(native));
  if (native == static_cast<NativeHandle>(kInvalidHandle) ||
      ::connect(native, reinterpret_cast<const sockaddr*>(&where), length) != 0) {
    Fail("connect to", address, port, ErrorText(LastError()));
  }
  return socket;
}

Socket Accept(const Socket& listener) {
  const NativeHandle native = AcceptNative(Native(listener));
  Socket accepted(static_cast<Handle>(native));
  if (native == static_cast<NativeHandle>(kInvalidHandle)) return Socket();
  if (!MakeNonBlockingAndPrivate(native)) return Socket();
  return accepted;
}

Endpoint LocalEndpoint(const Socket& socket) {
  sockaddr_storage where{};
  SockLen length = sizeof where;
  Endpoint endpoint;
  if (getsockname(Native(socket), reinterpret_cast<sockaddr*>(&where), &length) != 0) {
    return endpoint;
  }
  char host[NI_MAXHOST] = {};
  char service[NI_MAXSERV] = {};
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&where), length, host, sizeof host, service,
                  sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
    endpoint.address = host;
    endpoint.port = static_cast<std::uint16_t>(std::stoul(service));
  }
  return endpoint;
}

IoResult Receive(const Socket& socket, char* buffer, std::size_t size) {
  const int got = ReceiveNative(Native(socket), buffer, size);
  if (got > 0) return {IoStatus::kDone, static_cast<std::size_t>(got)};
  if (got == 0) return {IoStatus::kClosed, 0};
  return {IsWouldBlock(LastError()) ? IoStatus::kWouldBlock : IoStatus::kFailed, 0};
}

IoResult Send(const Socket& socket, const char* data, std::size_t size) {
  const int sent = SendNative(Native(socket), data, size);
  if (sent > 0) return {IoStatus::kDone, static_cast<std::size_t>(sent)};
  if (sent < 0 && IsWouldBlock(LastError())) return {IoStatus::kWouldBlock, 0};
  return {IoStatus::kFailed, 0};
}

void ShutdownSend(const Socket& socket) { ShutdownSendNative(Native(socket)); }

int WaitReadable(std::span<const Handle> sockets, std::chrono::milliseconds timeout) {
  if (sockets.empty()) return -1;
  return WaitNative(sockets, false, timeout);
}

bool WaitWritable(Handle socket, std::chrono::milliseconds timeout) {
  const Handle one[] = {socket};
  return WaitNative(one, true, timeout) == 0;
}

}  // namespace standin::net
