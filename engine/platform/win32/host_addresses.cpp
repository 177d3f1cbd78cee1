// The sockets layer's resolver (Windows Sockets 1.1). For the machine's own name Windows answers
// with the addresses of its network cards, not with what a hosts file or DNS would say.
#include "platform/host_addresses.h"

#include <winsock2.h>
#include <windows.h>

#include <cstring>

#include "platform/win32/winsock_session.h"

namespace zelquo::platform {

namespace {

constexpr int kHostNameBuffer = 128;

}  // namespace

std::optional<std::string> LocalHostName() {
  const CWinsockSession winsock;
  if (!winsock.Started()) return std::nullopt;
  char name[kHostNameBuffer] = {};
  if (gethostname(name, kHostNameBuffer) != 0) return std::nullopt;
  name[kHostNameBuffer - 1] = '\0';
  return std::string(name);
}

std::vector<Ipv4Address> LocalIpv4Addresses() {
  const std::optional<std::string> name = LocalHostName();
  return name ? ResolveIpv4Addresses(*name) : std::vector<Ipv4Address>();
}

std::vector<Ipv4Address> ResolveIpv4Addresses(std::string_view host_name) {
  std::vector<Ipv4Address> addresses;
  const CWinsockSession winsock;
  if (!winsock.Started()) return addresses;
  const std::string name(host_name);
  // The answer lives in the calling thread's own storage until its next look-up.
  const hostent* found = gethostbyname(name.c_str());
  if (found == nullptr || found->h_addrtype != AF_INET || found->h_length != 4) return addresses;
  for (char** item = found->h_addr_list; *item != nullptr; ++item) {
    Ipv4Address address{};
    std::memcpy(address.data(), *item, address.size());
    addresses.push_back(address);
  }
  return addresses;
}

}  // namespace zelquo::platform
