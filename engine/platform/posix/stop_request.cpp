// The stop request as an eventfd that is written once and never read, so that it stays readable
// for every later poll (level-triggered) without a lock or a flag beside it.
#include "platform/posix/stop_request.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace zelquo::platform {

int StopRequestFd() {
  static const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  return fd;
}

void RequestStop() {
  const int fd = StopRequestFd();
  const std::uint64_t one = 1;
  // A counter that cannot take one more is already readable: the request stands either way.
  if (fd >= 0 && write(fd, &one, sizeof one) < 0) {
  }
}

bool StopRequested() {
  pollfd entry{StopRequestFd(), POLLIN, 0};
  return entry.fd >= 0 && poll(&entry, 1, 0) > 0 && (entry.revents & POLLIN) != 0;
}

namespace detail {
void WithdrawStopRequestForTest() {
  std::uint64_t count = 0;
  if (const int fd = StopRequestFd(); fd >= 0 && read(fd, &count, sizeof count) < 0) {
  }
}
}  // namespace detail

}  // namespace zelquo::platform
