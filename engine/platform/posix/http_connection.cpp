#include "platform/posix/http_connection.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/name_lookup.h"
#include "platform/posix/stop_request.h"

namespace zelquo::platform {

namespace {

void SetPort(Address& address, std::uint16_t port) {
  if (address.storage.ss_family == AF_INET) {
    reinterpret_cast<sockaddr_in&>(address.storage).sin_port = htons(port);
  } else if (address.storage.ss_family == AF_INET6) {
    reinterpret_cast<sockaddr_in6&>(address.storage).sin6_port = htons(port);
  }
}

}  // namespace

CHttpConnection::CHttpConnection(std::chrono::milliseconds phase_timeout, Clock::time_point deadline)
    : phase_timeout_(phase_timeout), deadline_(deadline) {}

CHttpConnection::~CHttpConnection() = default;

CTlsSession::Handshake CHttpConnection::StartTls(const std::string& host) {
  tls_ = std::make_unique<CTlsSession>(fd_.Get(), [this](short events) { return WaitFor(events); });
  return tls_->Start(host);
}

bool CHttpConnection::WaitFor(short events) const {
  const auto until = std::min(Clock::now() + phase_timeout_, deadline_);
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0) return false;
    // The stop request ends the wait as its time-out would.
    pollfd entries[] = {{fd_.Get(), events, 0}, {StopRequestFd(), POLLIN, 0}};
    const int ready = poll(entries, 2, static_cast<int>(std::min<long long>(left.count(), 1 << 30)));
    if (ready > 0) return entries[1].revents == 0;
    if (ready < 0 && errno != EINTR) return false;
  }
}

bool CHttpConnection::ConnectTo(const sockaddr* address, unsigned length) {
  fd_.Reset(::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd_) return false;
  if (::connect(fd_.Get(), address, length) == 0) return true;
  if (errno != EINPROGRESS || !WaitFor(POLLOUT)) return false;
  int error = 0;
  socklen_t error_length = sizeof error;
  return getsockopt(fd_.Get(), SOL_SOCKET, SO_ERROR, &error, &error_length) == 0 && error == 0;
}

bool CHttpConnection::Connect(const std::string& host, std::uint16_t port) {
  const auto lookup_until = std::min(Clock::now() + phase_timeout_, deadline_);
  for (Address& address : LookUpHost(host, lookup_until)) {
    SetPort(address, port);
    if (ConnectTo(reinterpret_cast<const sockaddr*>(&address.storage), address.length)) return true;
    if (Clock::now() >= deadline_ || StopRequested()) break;
  }
  fd_.Reset();
  return false;
}

bool CHttpConnection::SendAll(std::string_view bytes) {
  if (tls_) return tls_->SendAll(bytes);
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd_.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitFor(POLLOUT)) return false;
    } else {
      return false;
    }
  }
  return true;
}

// Waits before reading: an answer is seldom there the moment it is asked for.
long CHttpConnection::Receive(char* buffer, std::size_t size) {
  if (tls_) return Clock::now() >= deadline_ ? -1 : tls_->Receive(buffer, size);
  for (;;) {
    if (Clock::now() >= deadline_ || !WaitFor(POLLIN)) return -1;
    const ssize_t got = ::recv(fd_.Get(), buffer, size, 0);
    if (got >= 0) return got;
    if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
  }
}

}  // namespace zelquo::platform
