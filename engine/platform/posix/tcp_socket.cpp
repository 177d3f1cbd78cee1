// BSD-socket form of the time-out socket: a non-blocking descriptor and poll, so that each call
// waits at most the time-out for the socket to become ready.
#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/posix/name_lookup.h"
#include "platform/posix/stop_request.h"
#include "platform/posix/unique_fd.h"

namespace zelquo::platform {

namespace {

using Clock = std::chrono::steady_clock;

bool ParseDottedAddress(std::string_view text, in_addr& address) {
  const std::string copy(text);
  return inet_pton(AF_INET, copy.c_str(), &address) == 1;
}

// The first address of host in the family: a literal address as it is, otherwise the name
// looked up by `until` (getaddrinfo alone could wait on a silent resolver far beyond the
// socket's time-out). The port is left to the caller.
bool ResolveFirstAddress(std::string_view host, int family, Address& address, Clock::time_point until) {
  for (const Address& found : LookUpHost(std::string(host), until)) {
    if (found.storage.ss_family != family) continue;
    address = found;
    return true;
  }
  return false;
}

}  // namespace

struct CTimeoutSocket::Impl {
  CUniqueFd fd;
  int family = AF_INET;

  // Waits until the socket is ready for `events` or the time since `start` exceeds `timeout`;
  // the program's stop request ends the wait as the time-out would.
  // 1: ready; 0: timed out; -1: poll failed (errno says why).
  int WaitFor(short events, Clock::time_point start, std::chrono::seconds timeout) const {
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(start + timeout - Clock::now());
      if (left.count() <= 0) return 0;
      pollfd entries[] = {{fd.Get(), events, 0}, {StopRequestFd(), POLLIN, 0}};
      const int ready = poll(entries, 2, static_cast<int>(left.count()) + 1);
      if (ready > 0) return entries[1].revents == 0 ? 1 : 0;
      if (ready < 0 && errno != EINTR) return -1;
    }
  }
};

CTimeoutSocket::CTimeoutSocket() : impl_(std::make_unique<Impl>()) {}

CTimeoutSocket::~CTimeoutSocket() = default;

void CTimeoutSocket::SetTimeout(std::chrono::seconds timeout) {
  if (timeout.count() != 0) timeout_ = timeout;
}

bool CTimeoutSocket::Create(std::string_view local_address, std::uint16_t local_port) {
  Close();
  sockaddr_storage local{};
  socklen_t local_length = 0;
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
    last_error_ = EINVAL;
    return false;
  }
  impl_->family = local.ss_family;
  impl_->fd.Reset(::socket(impl_->family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!impl_->fd.Valid() || ::bind(impl_->fd.Get(), reinterpret_cast<const sockaddr*>(&local), local_length) != 0) {
    last_error_ = errno;
    Close();
    return false;
  }
  return true;
}

bool CTimeoutSocket::Connect(std::string_view host, std::uint16_t port) {
  Address remote;
  if (!impl_->fd.Valid() || !ResolveFirstAddress(host, impl_->family, remote, Clock::now() + timeout_)) {
    last_error_ = impl_->fd.Valid() ? EHOSTUNREACH : EBADF;
    return false;
  }
  // sin_port and sin6_port lie at the same place.
  reinterpret_cast<sockaddr_in&>(remote.storage).sin_port = htons(port);
  const auto start = Clock::now();
  if (::connect(impl_->fd.Get(), reinterpret_cast<const sockaddr*>(&remote.storage), remote.length) == 0) return true;
  if (errno != EINPROGRESS) {
    last_error_ = errno;
    return false;
  }
  const int ready = impl_->WaitFor(POLLOUT, start, timeout_);
  if (ready <= 0) {
    if (ready == 0) timed_out_ = true;
    last_error_ = ready == 0 ? ETIMEDOUT : errno;
    return false;
  }
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(impl_->fd.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  last_error_ = error;
  return error == 0;
}

int CTimeoutSocket::Send(const char* bytes, int count) {
  if (!impl_->fd.Valid()) {
    last_error_ = EBADF;
    return -1;
  }
  int sent = 0;
  auto start = Clock::now();
  while (sent < count) {
    const ssize_t result = ::send(impl_->fd.Get(), bytes + sent, static_cast<std::size_t>(count - sent), MSG_NOSIGNAL);
    if (result > 0) {
      sent += static_cast<int>(result);
      start = Clock::now();  // progress: the time-out counts afresh
      continue;
    }
    if (result < 0 && errno == EINTR) continue;
    if (result < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      last_error_ = errno;
      return -1;
    }
    const int ready = impl_->WaitFor(POLLOUT, start, timeout_);
    if (ready <= 0) {
      if (ready == 0) timed_out_ = true;
      last_error_ = ready == 0 ? ETIMEDOUT : errno;
      return -1;
    }
  }
  return count;
}

int CTimeoutSocket::Receive(char* buffer, int count) {
  if (!impl_->fd.Valid()) {
    last_error_ = EBADF;
    return -1;
  }
  const auto start = Clock::now();
  for (;;) {
    const ssize_t result = ::recv(impl_->fd.Get(), buffer, static_cast<std::size_t>(count), 0);
    if (result >= 0) return static_cast<int>(result);
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      last_error_ = errno;
      return -1;
    }
    const int ready = impl_->WaitFor(POLLIN, start, timeout_);
    if (ready <= 0) {
      if (ready == 0) timed_out_ = true;
      last_error_ = ready == 0 ? ETIMEDOUT : errno;
      return -1;
    }
  }
}

void CTimeoutSocket::Close() { impl_->fd.Reset(); }

}  // namespace zelquo::platform
