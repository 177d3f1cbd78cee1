#include "platform/posix/name_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/posix/stop_request.h"

namespace zelquo::platform {

namespace {

using Clock = std::chrono::steady_clock;

struct AddrInfoDeleter {
  void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoDeleter>;

constexpr auto kLookupLifetime = std::chrono::seconds(10);
constexpr std::size_t kLookupsKept = 8;
// How often a caller waiting for a look-up looks whether the program was asked to stop.
constexpr auto kStopCheckPeriod = std::chrono::milliseconds(100);

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

struct PendingLookup {
  std::condition_variable done;
  bool finished = false;
  Addresses addresses;
};

}  // namespace

namespace detail {

struct CNameLookups::State {
  std::size_t max_pending = 0;
  ResolveFunction resolve = nullptr;
  std::mutex mutex;  // guards pending and every PendingLookup's fields
  std::map<std::string, std::shared_ptr<PendingLookup>> pending;

  // One look-up thread's work; the thread owns it and deletes it when done.
  struct Job {
    std::shared_ptr<State> state;  // kept alive for the thread to report to
    std::shared_ptr<PendingLookup> lookup;
    std::string host;
  };

  void Finish(const Job& job) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const AddrInfoList list(resolve(job.host.c_str(), nullptr, &hints, &found) == 0 ? found : nullptr);
    Addresses addresses = InPreferredOrder(list.get());
    const std::lock_guard lock(mutex);
    const auto entry = pending.find(job.host);
    if (entry != pending.end() && entry->second == job.lookup) pending.erase(entry);
    job.lookup->addresses = std::move(addresses);
    job.lookup->finished = true;
    job.lookup->done.notify_all();
  }

  static void* Run(void* raw) {
    const std::unique_ptr<Job> job(static_cast<Job*>(raw));
    job->state->Finish(*job);
    return nullptr;
  }

  // A detached thread with a small stack and every signal blocked: the daemon takes its control
  // signals on a thread of its choosing, never on a look-up thread.
  static bool Start(std::unique_ptr<Job> job) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    bool started = pthread_attr_setstacksize(&attributes, kLookupStackSize) == 0 &&
                   pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0;
    if (started) {
      sigset_t all;
      sigset_t previous;
      sigfillset(&all);
      pthread_sigmask(SIG_SETMASK, &all, &previous);
      pthread_t thread;
      started = pthread_create(&thread, &attributes, &State::Run, job.get()) == 0;
      pthread_sigmask(SIG_SETMASK, &previous, nullptr);
      if (started) job.release();  // the thread's now
    }
    pthread_attr_destroy(&attributes);
    return started;
  }
};

CNameLookups::CNameLookups(std::size_t max_pending, ResolveFunction resolve) : state_(std::make_shared<State>()) {
  state_->max_pending = max_pending;
  state_->resolve = resolve;
}

Addresses CNameLookups::LookUp(const std::string& host, Clock::time_point until) {
  if (Clock::now() >= until) return {};  // no one would wait for a look-up started now
  std::unique_lock lock(state_->mutex);
  std::shared_ptr<PendingLookup> lookup;
  if (const auto entry = state_->pending.find(host); entry != state_->pending.end()) {
    lookup = entry->second;
  } else {
    // Full: the exchange fails at once, as one with an unreachable host would.
    if (state_->pending.size() >= state_->max_pending) return {};
    lookup = std::make_shared<PendingLookup>();
    if (!State::Start(std::make_unique<State::Job>(State::Job{state_, lookup, host}))) return {};
    state_->pending.emplace(host, lookup);
  }
  // A stop ends the wait as its deadline would; the look-up thread then finishes on its own.
  while (!lookup->finished) {
    lookup->done.wait_until(lock, std::min(until, Clock::now() + kStopCheckPeriod));
    if (lookup->finished) break;
    if (Clock::now() >= until || StopRequested()) return {};
  }
  return lookup->addresses;
}

std::size_t CNameLookups::Pending() const {
  const std::lock_guard lock(state_->mutex);
  return state_->pending.size();
}

}  // namespace detail

namespace {

detail::CNameLookups& NameLookups() {
  // Never destroyed: a program's last look-ups may still be outstanding when it exits.
  static auto* const lookups = new detail::CNameLookups;
  return *lookups;
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
  Addresses addresses = NameLookups().LookUp(host, until);
  if (!addresses.empty()) LookupCache().Keep(host, addresses);
  return addresses;
}

}  // namespace zelquo::platform
