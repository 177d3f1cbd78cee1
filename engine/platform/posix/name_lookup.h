// Name look-up for the HTTP client and the IP-check socket: getaddrinfo with a deadline, the
// addresses of a name kept for a few seconds (a pass sends one request per host name to the same
// server; a failed look-up is never kept), and IPv4 addresses before IPv6 ones, since the
// provider learns the machine's IPv4 address from the connection.
#pragma once

#include <netdb.h>
#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace zelquo::platform {

struct Address {
  sockaddr_storage storage{};
  socklen_t length = 0;
};
using Addresses = std::vector<Address>;

// The addresses of host (a name, or a literal address, which needs no waiting), port 0; empty
// when it has none, the look-up outlasts `until`, or too many look-ups are still outstanding.
[[nodiscard]] Addresses LookUpHost(const std::string& host, std::chrono::steady_clock::time_point until);

namespace detail {

// getaddrinfo's form, so that tests can put a resolver that never answers in its place.
using ResolveFunction = int (*)(const char*, const char*, const addrinfo*, addrinfo**);

// A resolver that hangs keeps its look-up threads: their number is bounded instead of growing
// with every attempt.
inline constexpr std::size_t kMaxPendingLookups = 4;
// getaddrinfo needs little stack; the default of 8 MiB per thread is mostly reserved address space.
inline constexpr std::size_t kLookupStackSize = 256 * 1024;

// Look-ups of names, each on a detached thread of its own with a small stack, since getaddrinfo
// has no time-out of its own: a caller that stops waiting leaves the thread to finish by itself.
// A second caller for a name whose look-up is still outstanding waits for that same look-up;
// a new name while max_pending look-ups are outstanding fails at once. An outstanding thread
// keeps what it needs alive, so the object may go before its threads do.
class CNameLookups {
 public:
  explicit CNameLookups(std::size_t max_pending = kMaxPendingLookups, ResolveFunction resolve = getaddrinfo);

  // The addresses of host in the preferred order (no literal-address shortcut, no keeping).
  [[nodiscard]] Addresses LookUp(const std::string& host, std::chrono::steady_clock::time_point until);
  // How many look-ups have not yet finished, waited for or not.
  [[nodiscard]] std::size_t Pending() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace detail

}  // namespace zelquo::platform
