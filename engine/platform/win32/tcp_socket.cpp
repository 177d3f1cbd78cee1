// Winsock form of the time-out socket: a non-blocking socket and select, so that each call waits
// at most the time-out for the socket to become ready. A program without windows has no
// message loop to keep going while it waits, so a plain wait is all that is needed.
#include "platform/tcp_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <string>

#include "platform/win32/winsock_session.h"

namespace zelquo::platform {

namespace {

using Clock = std::chrono::steady_clock;

// Owns one socket.
class CSocketHandle {
 public:
  CSocketHandle() = default;
  CSocketHandle(const CSocketHandle&) = delete;
  CSocketHandle& operator=(const CSocketHandle&) = delete;
  ~CSocketHandle() { Reset(); }

  void Reset(SOCKET handle = INVALID_SOCKET) {
    if (handle_ != INVALID_SOCKET) closesocket(handle_);
    handle_ = handle;
  }
  [[nodiscard]] SOCKET Get() const { return handle_; }
  [[nodiscard]] bool Valid() const { return handle_ != INVALID_SOCKET; }

 private:
  SOCKET handle_ = INVALID_SOCKET;
};

// A strict dotted address: four numbers of 0 to 255 (inet_addr would also take "1.2.3").
bool ParseDottedAddress(std::string_view text, in_addr& address) {
  unsigned char bytes[4] = {};
  std::size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (at >= text.size() || text[at] != '.') return false;
      ++at;
    }
    unsigned value = 0;
    std::size_t digits = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3) {
      value = value * 10 + static_cast<unsigned>(text[at] - '0');
      ++at;
      ++digits;
    }
    if (digits == 0 || value > 255) return false;
    bytes[part] = static_cast<unsigned char>(value);
  }
  if (at != text.size()) return false;
  memcpy(&address, bytes, sizeof bytes);
  return true;
}

// The first IPv4 address of host: a dotted address as it is, otherwise the name looked up.
bool ResolveFirstAddress(std::string_view host, in_addr& address) {
  if (ParseDottedAddress(host, address)) return true;
  const std::string name(host);
  const hostent* found = gethostbyname(name.c_str());
  if (found == nullptr || found->h_addrtype != AF_INET || found->h_addr_list[0] == nullptr) return false;
  memcpy(&address, found->h_addr_list[0], sizeof address);
  return true;
}

// The first IPv6 address of host: a literal as it is, otherwise the name looked up.
bool ResolveFirstIpv6Address(std::string_view host, sockaddr_in6& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET6;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string name(host);
  if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
  const bool ok = found->ai_addrlen >= sizeof address;
  if (ok) memcpy(&address, found->ai_addr, sizeof address);
  freeaddrinfo(found);
  return ok;
}

enum class Readiness { kRead, kWrite, kConnect };

}  // namespace

struct CTimeoutSocket::Impl {
  CWinsockSession winsock;
  CSocketHandle socket;
  int family = AF_INET;

  // Waits until the socket is ready or the time since `start` exceeds `timeout`. 1: ready (for
  // kConnect also when the connection failed; SO_ERROR tells); 0: timed out; -1: select failed.
  int WaitFor(Readiness what, Clock::time_point start, std::chrono::seconds timeout) const {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(start + timeout - Clock::now());
    if (left.count() <= 0) return 0;
    fd_set readable, writable, failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    if (what == Readiness::kRead) FD_SET(socket.Get(), &readable);
    if (what != Readiness::kRead) FD_SET(socket.Get(), &writable);
    if (what == Readiness::kConnect) FD_SET(socket.Get(), &failed);
    const long long micros = left.count() + 1000;  // a millisecond more, so as not to wake early
    timeval wait{};
    wait.tv_sec = static_cast<long>(micros / 1000000);
    wait.tv_usec = static_cast<long>(micros % 1000000);
    const int ready = select(0, &readable, &writable, &failed, &wait);
    if (ready == SOCKET_ERROR) return -1;
    if (ready > 0) return 1;
    // select may come back a little early; the caller tries again and waits for the rest.
    return Clock::now() - start > timeout ? 0 : 1;
  }
};

CTimeoutSocket::CTimeoutSocket() : impl_(std::make_unique<Impl>()) {}

CTimeoutSocket::~CTimeoutSocket() = default;

void CTimeoutSocket::SetTimeout(std::chrono::seconds timeout) {
  if (timeout.count() != 0) timeout_ = timeout;
}

bool CTimeoutSocket::Create(std::string_view local_address, std::uint16_t local_port) {
  Close();
  if (!impl_->winsock.Started()) {
    last_error_ = WSANOTINITIALISED;
    return false;
  }
  sockaddr_storage local{};
  int local_length = 0;
  if (auto& v4 = reinterpret_cast<sockaddr_in&>(local); ParseDottedAddress(local_address, v4.sin_addr)) {
    v4.sin_family = AF_INET;
    v4.sin_port = htons(local_port);
    local_length = sizeof v4;
  } else if (auto& v6 = reinterpret_cast<sockaddr_in6&>(local);
             inet_pton(AF_INET6, std::string(local_address).c_str(), &v6.sin6_addr) == 1) {
    v6.sin6_family = AF_INET6;
    v6.sin6_port = htons(local_port);
    local_length = sizeof v6;
  } else {
    last_error_ = WSAEINVAL;
    return false;
  }
  impl_->family = local.ss_family;
  impl_->socket.Reset(::socket(impl_->family, SOCK_STREAM, IPPROTO_TCP));
  u_long non_blocking = 1;
  if (!impl_->socket.Valid() ||
      ::bind(impl_->socket.Get(), reinterpret_cast<const sockaddr*>(&local), local_length) == SOCKET_ERROR ||
      ioctlsocket(impl_->socket.Get(), FIONBIO, &non_blocking) == SOCKET_ERROR) {
    last_error_ = WSAGetLastError();
    Close();
    return false;
  }
  return true;
}

bool CTimeoutSocket::Connect(std::string_view host, std::uint16_t port) {
  sockaddr_storage remote{};
  int remote_length = 0;
  if (!impl_->socket.Valid()) {
    last_error_ = WSAENOTSOCK;
    return false;
  }
  if (impl_->family == AF_INET6) {
    auto& v6 = reinterpret_cast<sockaddr_in6&>(remote);
    if (!ResolveFirstIpv6Address(host, v6)) {
      last_error_ = WSAGetLastError();
      return false;
    }
    v6.sin6_port = htons(port);
    remote_length = sizeof v6;
  } else {
    auto& v4 = reinterpret_cast<sockaddr_in&>(remote);
    v4.sin_family = AF_INET;
    v4.sin_port = htons(port);
    if (!ResolveFirstAddress(host, v4.sin_addr)) {
      last_error_ = WSAGetLastError();
      return false;
    }
    remote_length = sizeof v4;
  }
  auto start = Clock::now();
  if (::connect(impl_->socket.Get(), reinterpret_cast<const sockaddr*>(&remote), remote_length) == 0) return true;
  const int error = WSAGetLastError();
  if (error != WSAEWOULDBLOCK) {
    last_error_ = error;
    return false;
  }
  for (;;) {
    const int ready = impl_->WaitFor(Readiness::kConnect, start, timeout_);
    if (ready <= 0) {
      if (ready == 0) timed_out_ = true;
      last_error_ = ready == 0 ? WSAECONNABORTED : WSAGetLastError();
      return false;
    }
    int failure = 0;
    int length = sizeof failure;
    if (getsockopt(impl_->socket.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&failure), &length) != 0) {
      failure = WSAGetLastError();
    }
    if (failure != 0) {
      last_error_ = failure;
      return false;
    }
    // Writable means connected; an early return of the wait leaves both sets empty.
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(impl_->socket.Get(), &writable);
    timeval now{};
    if (select(0, nullptr, &writable, nullptr, &now) == 1) return true;
  }
}

int CTimeoutSocket::Send(const char* bytes, int count) {
  if (!impl_->socket.Valid()) {
    last_error_ = WSAENOTSOCK;
    return -1;
  }
  int sent = 0;
  auto start = Clock::now();
  while (sent < count) {
    const int result = ::send(impl_->socket.Get(), bytes + sent, count - sent, 0);
    if (result > 0) {
      sent += result;
      start = Clock::now();  // progress: the time-out counts afresh
      continue;
    }
    const int error = result == 0 ? WSAEWOULDBLOCK : WSAGetLastError();
    if (error != WSAEWOULDBLOCK) {
      last_error_ = error;
      return -1;
    }
    const int ready = impl_->WaitFor(Readiness::kWrite, start, timeout_);
    if (ready <= 0) {
      if (ready == 0) timed_out_ = true;
      last_error_ = ready == 0 ? WSAECONNABORTED : WSAGetLastError();
      WSASetLastError(last_error_);
      return -1;
    }
  }
  return count;
}

int CTimeoutSocket::Receive(char* buffer, int count) {
  if (!impl_->socket.Valid()) {
    last_error_ = WSAENOTSOCK;
    return -1;
  }
  const auto start = Clock::now();
  for (;;) {
    const int result = ::recv(impl_->socket.Get(), buffer, count, 0);
    if (result != SOCKET_ERROR) return result;
    const int error = WSAGetLastError();
    if (error != WSAEWOULDBLOCK) {
      last_error_ = error;
      return -1;
    }
    const int ready = impl_->WaitFor(Readiness::kRead, start, timeout_);
    if (ready <= 0) {
      if (ready == 0) timed_out_ = true;
      last_error_ = ready == 0 ? WSAECONNABORTED : WSAGetLastError();
      WSASetLastError(last_error_);
      return -1;
    }
  }
}

void CTimeoutSocket::Close() { impl_->socket.Reset(); }

}  // namespace zelquo::platform
