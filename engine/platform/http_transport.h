// The platform's HTTP client, reduced to what the engine needs: one GET that reports the status
// and the first line of the body, over plain HTTP or, when asked, HTTPS with the server's
// certificate checked against the system's trust store. Windows uses WinInet, POSIX a client of
// its own over OpenSSL.
// Mapping the outcome to the engine's texts is left to http_get_line.cpp.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace zelquo::platform {

struct HttpGetRequest {
  std::string url;                  // "http://", or "https://" when secure
  bool secure = false;              // HTTPS: TLS 1.2 or newer, certificate and name checked
  std::uint16_t port = 80;          // used instead of any port the URL names
  std::string extra_header_line;    // one "Name:value" line, sent once
  std::chrono::milliseconds timeout{120000};      // each phase (connect, send, receive)
  std::chrono::milliseconds whole_limit{360000};  // the whole exchange, whatever its progress
};

// Why a secure connection was not made. Nothing is ever sent over one that failed its checks.
enum class TlsFailure {
  kNone,
  kUntrusted,  // the chain does not lead to an authority the system trusts
  kExpired,    // a certificate of the chain has expired or is not valid yet
  kWrongName,  // the certificate is not for the host name asked for
  kNoTls,      // the server speaks no TLS, or none older than 1.2 would do
  kOther,      // any other handshake failure
};

struct HttpGetOutcome {
  enum class Kind {
    kMalformedUrl,      // not an "http://" (or, when secure, "https://") URL with a host; nothing was sent
    kTransportFailure,  // resolution, connection, time-out or transfer failure
    kTlsFailure,        // the secure connection failed; tls_failure says why
    kStatus,            // an answer arrived
  } kind = Kind::kTransportFailure;
  int status = 0;
  std::string first_line;  // only read for status 200; one over kMaxFirstLineLength is a failure
  TlsFailure tls_failure = TlsFailure::kNone;
};

// GET through the system's preconfigured proxy settings, cache neither read nor written.
[[nodiscard]] HttpGetOutcome HttpGetFirstLine(const HttpGetRequest& request);

// GET of any URL the platform accepts, direct (no proxy), status not examined; nothing on failure
// (a first line over kMaxFirstLineLength, or an exchange over whole_limit, included).
[[nodiscard]] std::optional<std::string> OpenUrlFirstLine(const std::string& url,
                                                          std::chrono::milliseconds timeout,
                                                          std::chrono::milliseconds whole_limit);

}  // namespace zelquo::platform
