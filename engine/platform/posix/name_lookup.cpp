#include "platform/posix/name_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace zelquo::platform {

namespace {

using Clock = std::chrono::steady_clock;

struct AddrInfoDeleter {
  void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoDeleter>;

constexpr auto kLookupLifetime = std::chrono::seconds(10);
constexpr std::size_t kLookupsKept = 8;

struct KeptLookup {
  std::string host;
  Clock::time_point expires;
  Addresses addresses;
};

class CLookupCache {
 public:
  std::optional<Addresses> Find(const std::string& host) {
    const std::lock_guard lock(mutex_);
    const auto now = Clock::now();
    std::erase_if(kept_, [&](const KeptLookup& entry) { return entry.expires <= now; });
    for (const KeptLookup& entry : kept_) {
      if (entry.host == host) return entry.addresses;
    }
    return std::nullopt;
  }
  void Keep(const std::string& host, const Addresses& addresses) {
    const std::lock_guard lock(mutex_);
    if (kept_.size() == kLookupsKept) kept_.erase(kept_.begin());
    kept_.push_back({host, Clock::now() + kLookupLifetime, addresses});
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

AddrInfoList LookUpOnThread(const std::string& host, const addrinfo& hints, Clock::time_point until) {
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

}  // namespace

Addresses LookUpHost(const std::string& host, Clock::time_point until) {
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

}  // namespace zelquo::platform
