#include "platform/posix/http_connection.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace zelquo::platform {

namespace {

struct AddrInfoDeleter {
  void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoDeleter>;

struct Address {
  sockaddr_storage storage{};
  socklen_t length = 0;
};
using Addresses = std::vector<Address>;

// A pass sends one request per host name to the same server, so a name's addresses are kept for
// a few seconds rather than looked up for every request; a failed look-up is never kept.
constexpr auto kLookupLifetime = std::chrono::seconds(10);
constexpr std::size_t kLookupsKept = 8;

struct KeptLookup {
  std::string host;
  CHttpConnection::Clock::time_point expires;
  Addresses addresses;
};

class CLookupCache {
 public:
  std::optional<Addresses> Find(const std::string& host) {
    const std::lock_guard lock(mutex_);
    const auto now = CHttpConnection::Clock::now();
    std::erase_if(kept_, [&](const KeptLookup& entry) { return entry.expires <= now; });
    for (const KeptLookup& entry : kept_) {
      if (entry.host == host) return entry.addresses;
    }
    return std::nullopt;
  }
  void Keep(const std::string& host, const Addresses& addresses) {
    const std::lock_guard lock(mutex_);
    if (kept_.size() == kLookupsKept) kept_.erase(kept_.begin());
    kept_.push_back({host, CHttpConnection::Clock::now() + kLookupLifetime, addresses});
  }

 private:
  std::mutex mutex_;
  std::vector<KeptLookup> kept_;
};

CLookupCache& LookupCache() {
  static CLookupCache cache;
  return cache;
}

// IPv4 addresses first: the provider learns the machine's IPv4 address from the connection.
Addresses InPreferredOrder(const addrinfo* list) {
  Addresses ordered;
  for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_addrlen > sizeof(sockaddr_storage)) continue;
    Address address;
    std::memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
    address.length = entry->ai_addrlen;
    ordered.push_back(address);
  }
  std::stable_partition(ordered.begin(), ordered.end(),
                        [](const Address& address) { return address.storage.ss_family == AF_INET; });
  return ordered;
}

// getaddrinfo has no time-out of its own, so a name is looked up on a thread of its own that
// owns its result; a caller that stops waiting leaves it to finish and clean up by itself.
struct PendingLookup {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  AddrInfoList result;
};

AddrInfoList LookUpOnThread(const std::string& host, const addrinfo& hints, CHttpConnection::Clock::time_point until) {
  auto lookup = std::make_shared<PendingLookup>();
  try {
    std::thread([lookup, host, hints] {
      addrinfo* found = nullptr;
      AddrInfoList result(getaddrinfo(host.c_str(), nullptr, &hints, &found) == 0 ? found : nullptr);
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

// The addresses of host, port not yet set; empty when it has none or the look-up outlasts `until`.
Addresses LookUp(const std::string& host, CHttpConnection::Clock::time_point until) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  in6_addr literal{};
  if (inet_pton(AF_INET, host.c_str(), &literal) == 1 || inet_pton(AF_INET6, host.c_str(), &literal) == 1) {
    hints.ai_flags = AI_NUMERICHOST;  // nothing to wait for
    addrinfo* found = nullptr;
    const AddrInfoList list(getaddrinfo(host.c_str(), nullptr, &hints, &found) == 0 ? found : nullptr);
    return InPreferredOrder(list.get());
  }
  if (std::optional<Addresses> kept = LookupCache().Find(host)) return *std::move(kept);
  const AddrInfoList list = LookUpOnThread(host, hints, until);
  Addresses addresses = InPreferredOrder(list.get());
  if (!addresses.empty()) LookupCache().Keep(host, addresses);
  return addresses;
}

void SetPort(Address& address, std::uint16_t port) {
  if (address.storage.ss_family == AF_INET) {
    reinterpret_cast<sockaddr_in&>(address.storage).sin_port = htons(port);
  } else if (address.storage.ss_family == AF_INET6) {
    reinterpret_cast<sockaddr_in6&>(address.storage).sin6_port = htons(port);
  }
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
  for (Address& address : LookUp(host, lookup_until)) {
    SetPort(address, port);
    if (ConnectTo(reinterpret_cast<const sockaddr*>(&address.storage), address.length)) return true;
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
