// Netlink form of the interface addresses: one RTM_GETLINK dump for the interfaces' flags, one
// RTM_GETADDR dump of the IPv6 addresses. The address flags come from IFA_FLAGS when the kernel
// sends it (it carries the bits above 8, IFA_F_DADFAILED's neighbours included) and from
// ifa_flags otherwise; IFA_CACHEINFO gives the preferred lifetime.
#include "platform/ipv6_interfaces.h"

#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <map>

#include "platform/posix/unique_fd.h"

namespace zelquo::platform {

namespace {

struct LinkState {
  bool up = false;
  bool loopback = false;
};

// Sends one dump request and hands every message of the answer to `visit`; false when the
// socket fails or the kernel reports an error.
template <typename Visitor>
bool Dump(int fd, std::uint16_t type, unsigned char family, std::uint32_t sequence, Visitor&& visit) {
  struct {
    nlmsghdr header;
    rtgenmsg body;
  } request{};
  request.header.nlmsg_len = sizeof request;
  request.header.nlmsg_type = type;
  request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  request.header.nlmsg_seq = sequence;
  request.body.rtgen_family = family;
  if (::send(fd, &request, sizeof request, 0) != static_cast<ssize_t>(sizeof request)) return false;

  alignas(nlmsghdr) char buffer[16384];
  for (;;) {
    const ssize_t length = ::recv(fd, buffer, sizeof buffer, 0);
    if (length <= 0) return false;
    const auto size = static_cast<std::size_t>(length);
    // Each message whole inside what arrived; a length that says otherwise ends the walk.
    for (std::size_t offset = 0; offset + sizeof(nlmsghdr) <= size;) {
      const auto& message = *reinterpret_cast<const nlmsghdr*>(buffer + offset);
      if (message.nlmsg_len < sizeof(nlmsghdr) || message.nlmsg_len > size - offset) break;
      offset += NLMSG_ALIGN(message.nlmsg_len);
      if (message.nlmsg_seq != sequence) continue;
      if (message.nlmsg_type == NLMSG_DONE) return true;
      if (message.nlmsg_type == NLMSG_ERROR) return false;
      visit(message);
    }
  }
}

}  // namespace

std::vector<Ipv6Candidate> LocalIpv6Candidates() {
  CUniqueFd fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
  if (!fd.Valid()) return {};
  // A kernel that never answers must not hold the update cycle.
  const timeval wait{5, 0};
  setsockopt(fd.Get(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);

  std::map<std::uint32_t, LinkState> links;
  const bool links_read = Dump(fd.Get(), RTM_GETLINK, AF_UNSPEC, 1, [&](const nlmsghdr& message) {
    if (message.nlmsg_type != RTM_NEWLINK || message.nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg))) return;
    const auto* info = static_cast<const ifinfomsg*>(NLMSG_DATA(&message));
    links[static_cast<std::uint32_t>(info->ifi_index)] = {(info->ifi_flags & IFF_UP) != 0,
                                                           (info->ifi_flags & IFF_LOOPBACK) != 0};
  });
  if (!links_read) return {};

  std::vector<Ipv6Candidate> candidates;
  const bool addresses_read = Dump(fd.Get(), RTM_GETADDR, AF_INET6, 2, [&](const nlmsghdr& message) {
    if (message.nlmsg_type != RTM_NEWADDR || message.nlmsg_len < NLMSG_LENGTH(sizeof(ifaddrmsg))) return;
    const auto* info = static_cast<const ifaddrmsg*>(NLMSG_DATA(&message));
    if (info->ifa_family != AF_INET6) return;
    Ipv6Candidate candidate;
    std::uint32_t flags = info->ifa_flags;
    bool have_address = false;
    int left = static_cast<int>(IFA_PAYLOAD(&message));
    for (const rtattr* attribute = IFA_RTA(info); RTA_OK(attribute, left); attribute = RTA_NEXT(attribute, left)) {
      const void* data = RTA_DATA(attribute);
      const std::size_t size = RTA_PAYLOAD(attribute);
      if (attribute->rta_type == IFA_ADDRESS && size == candidate.address.size()) {
        std::memcpy(candidate.address.data(), data, size);
        have_address = true;
      } else if (attribute->rta_type == IFA_FLAGS && size == sizeof(std::uint32_t)) {
        std::memcpy(&flags, data, size);
      } else if (attribute->rta_type == IFA_CACHEINFO && size >= sizeof(ifa_cacheinfo)) {
        ifa_cacheinfo cache{};
        std::memcpy(&cache, data, sizeof cache);
        candidate.preferred_lifetime = cache.ifa_prefered;
      }
    }
    if (!have_address) return;
    candidate.interface_index = info->ifa_index;
    const LinkState link = links[info->ifa_index];
    candidate.interface_up = link.up;
    candidate.interface_loopback = link.loopback;
    candidate.temporary = (flags & IFA_F_TEMPORARY) != 0;
    candidate.tentative = (flags & IFA_F_TENTATIVE) != 0;
    candidate.dad_failed = (flags & IFA_F_DADFAILED) != 0;
    candidate.deprecated = (flags & IFA_F_DEPRECATED) != 0;
    candidates.push_back(candidate);
  });
  return addresses_read ? candidates : std::vector<Ipv6Candidate>{};
}

}  // namespace zelquo::platform
