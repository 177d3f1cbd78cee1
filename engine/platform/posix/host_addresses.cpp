// The C library's resolver, and getifaddrs for the machine's own addresses. gethostbyname_r
// keeps the order of the host database and of the DNS answer; getaddrinfo would sort the
// addresses by its own preferences.
#include "platform/host_addresses.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace zelquo::platform {

namespace {

constexpr std::size_t kHostNameBuffer = 128;

}  // namespace

std::optional<std::string> LocalHostName() {
  char name[kHostNameBuffer] = {};
  // POSIX may leave a cut-off name without its terminator; such a name is refused, as Windows
  // refuses one that does not fit.
  if (gethostname(name, sizeof name) != 0 || name[sizeof name - 1] != '\0') return std::nullopt;
  return std::string(name);
}

std::vector<Ipv4Address> LocalIpv4Addresses() {
  ifaddrs* first = nullptr;
  if (getifaddrs(&first) != 0) return {};
  const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> list(first, &freeifaddrs);
  std::vector<Ipv4Address> cards;
  std::vector<Ipv4Address> loopback;
  for (const ifaddrs* item = first; item != nullptr; item = item->ifa_next) {
    if (item->ifa_addr == nullptr || item->ifa_addr->sa_family != AF_INET || (item->ifa_flags & IFF_UP) == 0) continue;
    Ipv4Address address{};
    std::memcpy(address.data(), &reinterpret_cast<const sockaddr_in*>(item->ifa_addr)->sin_addr, address.size());
    ((item->ifa_flags & IFF_LOOPBACK) != 0 ? loopback : cards).push_back(address);
  }
  return cards.empty() ? loopback : cards;
}

std::vector<Ipv4Address> ResolveIpv4Addresses(std::string_view host_name) {
  const std::string name(host_name);
  std::vector<char> work(2048);
  hostent entry{};
  hostent* found = nullptr;
  int error = 0;
  for (;;) {
    const int result = gethostbyname2_r(name.c_str(), AF_INET, &entry, work.data(), work.size(), &found, &error);
    if (result != ERANGE || work.size() >= (1U << 20)) break;
    work.resize(work.size() * 2);
  }
  std::vector<Ipv4Address> addresses;
  if (found == nullptr || found->h_addrtype != AF_INET || found->h_length != 4) return addresses;
  for (char** item = found->h_addr_list; *item != nullptr; ++item) {
    Ipv4Address address{};
    std::memcpy(address.data(), *item, address.size());
    addresses.push_back(address);
  }
  return addresses;
}

}  // namespace zelquo::platform
