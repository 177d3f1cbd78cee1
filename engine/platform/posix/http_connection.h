// One TCP connection for one HTTP exchange, plain or, once StartTls has succeeded, secure, with
// two limits on every wait: the phase time-out (no progress for that long ends the exchange) and
// the exchange's overall deadline. Name look-up and the TLS handshake count as part of
// connecting and keep to the same limits.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/posix/tls_session.h"
#include "platform/posix/unique_fd.h"

struct sockaddr;

namespace zelquo::platform {

class CHttpConnection {
 public:
  using Clock = std::chrono::steady_clock;

  CHttpConnection(std::chrono::milliseconds phase_timeout, Clock::time_point deadline);
  ~CHttpConnection();

  // Looks host up (IPv4 addresses first) and connects to the first address that answers.
  [[nodiscard]] bool Connect(const std::string& host, std::uint16_t port);
  // The TLS handshake with the server, checked for host; from then on every byte goes through
  // the session. kBroken when the transport failed or timed out rather than TLS refusing.
  [[nodiscard]] CTlsSession::Handshake StartTls(const std::string& host);
  [[nodiscard]] TlsFailure TlsRefusal() const { return tls_ ? tls_->Failure() : TlsFailure::kNone; }
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
  std::unique_ptr<CTlsSession> tls_;
};

}  // namespace zelquo::platform
