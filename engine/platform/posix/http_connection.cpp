#include "platform/posix/http_connection.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace zelquo::platform {

namespace {

struct AddrInfoDeleter {
  void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoDeleter>;

// getaddrinfo has no time-out of its own, so a name is looked up on a thread of its own that
// owns its result; a caller that stops waiting leaves it to finish and clean up by itself.
struct PendingLookup {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  AddrInfoList result;
};

AddrInfoList LookUp(const std::string& host, std::uint16_t port, CHttpConnection::Clock::time_point until) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  const std::string service = std::to_string(port);
  in6_addr literal{};
  if (inet_pton(AF_INET, host.c_str(), &literal) == 1 || inet_pton(AF_INET6, host.c_str(), &literal) == 1) {
    hints.ai_flags = AI_NUMERICHOST;  // nothing to wait for
    addrinfo* found = nullptr;
    return AddrInfoList(getaddrinfo(host.c_str(), service.c_str(), &hints, &found) == 0 ? found : nullptr);
  }
  auto lookup = std::make_shared<PendingLookup>();
  try {
    std::thread([lookup, host, service, hints] {
      addrinfo* found = nullptr;
      AddrInfoList result(getaddrinfo(host.c_str(), service.c_str(), &hints, &found) == 0 ? found : nullptr);
      const std::lock_guard lock(lookup->mutex);
      lookup->result = std::move(result);
      lookup->finished = true;
      lookup->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return nullptr;  // no thread to spare: the exchange fails as an unreachable host would
  }
  std::unique_lock lock(lookup->mutex);
  if (!lookup->done.wait_until(lock, until, [&] { return lookup->finished; })) return nullptr;
  return std::move(lookup->result);
}

// IPv4 addresses first: the provider learns the machine's IPv4 address from the connection.
std::vector<const addrinfo*> InPreferredOrder(const addrinfo* list) {
  std::vector<const addrinfo*> ordered;
  for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) ordered.push_back(entry);
  std::stable_partition(ordered.begin(), ordered.end(), [](const addrinfo* entry) { return entry->ai_family == AF_INET; });
  return ordered;
}

}  // namespace

bool CHttpConnection::WaitFor(short events) const {
  const auto until = std::min(Clock::now() + phase_timeout_, deadline_);
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0) return false;
    pollfd entry{fd_.Get(), events, 0};
    const int ready = poll(&entry, 1, static_cast<int>(std::min<long long>(left.count(), 1 << 30)));
    if (ready > 0) return true;
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
  const AddrInfoList addresses = LookUp(host, port, lookup_until);
  for (const addrinfo* entry : InPreferredOrder(addresses.get())) {
    if (ConnectTo(entry->ai_addr, entry->ai_addrlen)) return true;
    if (Clock::now() >= deadline_) break;
  }
  fd_.Reset();
  return false;
}

bool CHttpConnection::SendAll(std::string_view bytes) {
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

long CHttpConnection::Receive(char* buffer, std::size_t size) {
  for (;;) {
    if (Clock::now() >= deadline_) return -1;
    const ssize_t got = ::recv(fd_.Get(), buffer, size, 0);
    if (got >= 0) return got;
    if (errno == EINTR) continue;
    if ((errno != EAGAIN && errno != EWOULDBLOCK) || !WaitFor(POLLIN)) return -1;
  }
}

}  // namespace zelquo::platform
