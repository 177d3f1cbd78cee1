// One TCP connection for one HTTP exchange, with two limits on every wait: the phase time-out
// (no progress for that long ends the exchange) and the exchange's overall deadline. Name look-up
// counts as part of connecting and keeps to the same limits.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/posix/unique_fd.h"

struct sockaddr;

namespace zelquo::platform {

class CHttpConnection {
 public:
  using Clock = std::chrono::steady_clock;

  CHttpConnection(std::chrono::milliseconds phase_timeout, Clock::time_point deadline)
      : phase_timeout_(phase_timeout), deadline_(deadline) {}

  // Looks host up (IPv4 addresses first) and connects to the first address that answers.
  [[nodiscard]] bool Connect(const std::string& host, std::uint16_t port);
  [[nodiscard]] bool SendAll(std::string_view bytes);
  // The number of bytes read, 0 once the peer has closed, -1 on failure or time-out.
  [[nodiscard]] long Receive(char* buffer, std::size_t size);

 private:
  // Waits for `events`; false on time-out or failure.
  [[nodiscard]] bool WaitFor(short events) const;
  [[nodiscard]] bool ConnectTo(const sockaddr* address, unsigned length);

  std::chrono::milliseconds phase_timeout_;
  Clock::time_point deadline_;
  CUniqueFd fd_;
};

}  // namespace zelquo::platform
