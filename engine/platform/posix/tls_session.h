// A TLS client session on a connected non-blocking socket, over OpenSSL: TLS 1.2 or newer, the
// server's chain checked against the system's trust store and its certificate against the host
// name asked for (which also goes out as the server name). Waiting is the caller's: each read or
// write that would block asks the caller to wait for the socket, so the connection's time-outs
// and the stop request hold during the handshake as they do for plain HTTP.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/http_transport.h"

namespace zelquo::platform {

class CTlsSession {
 public:
  // Waits for the poll events given; false on time-out, failure or a stop request.
  using SocketWait = std::function<bool(short events)>;

  enum class Handshake { kDone, kRefused, kBroken };  // refused: TLS said no; broken: the transport did

  CTlsSession(int fd, SocketWait wait);
  CTlsSession(const CTlsSession&) = delete;
  CTlsSession& operator=(const CTlsSession&) = delete;
  ~CTlsSession();

  [[nodiscard]] Handshake Start(const std::string& host);
  // Why Start refused.
  [[nodiscard]] TlsFailure Failure() const { return failure_; }

  [[nodiscard]] bool SendAll(std::string_view bytes);
  // The number of bytes read, 0 once the peer has closed, -1 on failure or time-out.
  [[nodiscard]] long Receive(char* buffer, std::size_t size);

 private:
  // Waits as the last call's error asks; false when the error is no wish to wait, or the wait fails.
  [[nodiscard]] bool WaitAsAsked(int result);

  struct Impl;
  std::unique_ptr<Impl> impl_;
  SocketWait wait_;
  TlsFailure failure_ = TlsFailure::kNone;
};

}  // namespace zelquo::platform
