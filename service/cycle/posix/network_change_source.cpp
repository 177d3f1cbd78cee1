// News of address and route changes on Linux: a netlink route socket joined to the IPv4 and
// IPv6 address and route groups. Messages are only counted as news, never parsed: the pass that
// follows finds out what changed. An eventfd ends a wait from another thread.
#include "cycle/network_change_source.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/posix/unique_fd.h"

namespace zelquo {
namespace {

using platform::CUniqueFd;

class CNetlinkChangeSource final : public CNetworkChangeSource {
 public:
  // Takes ownership of both descriptors.
  CNetlinkChangeSource(int netlink, int stop) : netlink_(netlink), stop_(stop) {}

  NetworkNews WaitForChange(std::chrono::milliseconds timeout) override {
    pollfd fds[2] = {{netlink_.Get(), POLLIN, 0}, {stop_.Get(), POLLIN, 0}};
    const int ready = poll(fds, 2, static_cast<int>(std::min<std::int64_t>(timeout.count(), 1 << 30)));
    if (ready < 0) return errno == EINTR ? NetworkNews::kQuiet : NetworkNews::kEnded;
    if (fds[1].revents != 0) return NetworkNews::kEnded;
    if (ready == 0) return NetworkNews::kQuiet;
    if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 && (fds[0].revents & POLLIN) == 0) {
      return NetworkNews::kEnded;
    }
    Drain();
    return NetworkNews::kChanged;
  }

  void Stop() override {
    const std::uint64_t one = 1;
    if (write(stop_.Get(), &one, sizeof one) < 0) {
      // An eventfd takes a write unless its counter is full, which means a stop is pending anyway.
    }
  }

 private:
  // Takes every message queued: one burst is one piece of news. A full receive queue (ENOBUFS)
  // means news was lost, which is news all the same.
  void Drain() const {
    alignas(nlmsghdr) char buffer[8192];
    for (;;) {
      const ssize_t got = recv(netlink_.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
      if (got > 0 || (got < 0 && errno == ENOBUFS)) continue;
      return;
    }
  }

  CUniqueFd netlink_;
  CUniqueFd stop_;
};

}  // namespace

std::unique_ptr<CNetworkChangeSource> OpenNetworkChangeSource() {
  CUniqueFd netlink(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE));
  if (!netlink) return nullptr;
  sockaddr_nl address{};
  address.nl_family = AF_NETLINK;
  address.nl_groups = RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
  if (bind(netlink.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return nullptr;
  CUniqueFd stop(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!stop) return nullptr;
  return std::make_unique<CNetlinkChangeSource>(netlink.Release(), stop.Release());
}

}  // namespace zelquo
