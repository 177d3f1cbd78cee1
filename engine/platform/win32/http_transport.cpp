// WinInet form of the HTTP transport: a fresh session per call, the session's preconfigured
// (system) proxy, seven time-out options, and a GET that neither reads nor writes the cache.
// The exchange's overall limit is kept by a watchdog thread that closes the handle in use when
// it passes, and by capping each wait for body data to what is left of it.
#include "platform/http_transport.h"

#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "http/first_line_reader.h"
#include "platform/module_path.h"

namespace zelquo::platform {

namespace {

// Owns one WinInet handle (session, connection or request).
class CInternetHandle {
 public:
  explicit CInternetHandle(HINTERNET handle) : handle_(handle) {}
  CInternetHandle(const CInternetHandle&) = delete;
  CInternetHandle& operator=(const CInternetHandle&) = delete;
  ~CInternetHandle() {
    if (handle_ != nullptr) InternetCloseHandle(handle_);
  }
  [[nodiscard]] HINTERNET Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  // Takes `handle` in place of the one held, which is closed.
  void Reset(HINTERNET handle) {
    if (handle_ != nullptr) InternetCloseHandle(handle_);
    handle_ = handle;
  }
  // Forgets the handle without closing it, once something else has closed it.
  void Release() { handle_ = nullptr; }

 private:
  HINTERNET handle_;
};

// The order matters to nobody but is kept as the client has always set them; the receive and
// send options are set twice.
constexpr DWORD kTimeoutOptions[] = {
    INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
    INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
    INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT};

// A redirect is an answer of its own (reported as an unknown status), never followed.
constexpr DWORD kHttpGetFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT |
                                INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT;
constexpr DWORD kOpenUrlFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_ASCII;
constexpr DWORD_PTR kContext = 1;

using Clock = std::chrono::steady_clock;

// Closes the exchange's handle from a thread of its own when the deadline passes. A synchronous
// call blocked on that handle then fails (ERROR_INTERNET_OPERATION_CANCELLED): this is the only
// way to end HttpSendRequest or InternetOpenUrl while a peer sends the head a byte at a time, each
// byte within the receive time-out. Once the watchdog has fired the handle is closed, and WinInet
// soon hands its value to another handle: the exchange makes no further call with it (it asks
// Fired() between calls) and does not close it again (the destructor releases it).
//
// Wine does not honour such a close: a call in progress holds its own reference to the handle's
// object, and the object's socket is closed only when the last reference goes, so the blocked
// receive goes on until the peer finishes the head or stops sending.
class CDeadlineWatchdog {
 public:
  CDeadlineWatchdog(Clock::time_point deadline, CInternetHandle& target)
      : deadline_(deadline), target_(&target), raw_target_(target.Get()), thread_([this] { Run(); }) {}
  CDeadlineWatchdog(const CDeadlineWatchdog&) = delete;
  CDeadlineWatchdog& operator=(const CDeadlineWatchdog&) = delete;
  ~CDeadlineWatchdog() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
    if (fired_) target_->Release();
  }

  // Watches `target` instead of the handle so far; false (and nothing changed) when the watchdog
  // has already fired.
  bool Retarget(CInternetHandle& target) {
    std::lock_guard lock(mutex_);
    if (fired_) return false;
    target_ = &target;
    raw_target_ = target.Get();
    return true;
  }

  [[nodiscard]] bool Fired() const {
    std::lock_guard lock(mutex_);
    return fired_;
  }

 private:
  void Run() {
    HINTERNET victim = nullptr;
    {
      std::unique_lock lock(mutex_);
      if (wake_.wait_until(lock, deadline_, [this] { return stopping_; })) return;
      fired_ = true;  // from here on Retarget changes nothing
      victim = raw_target_;
    }
    if (victim != nullptr) InternetCloseHandle(victim);
  }

  const Clock::time_point deadline_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  bool fired_ = false;
  CInternetHandle* target_;  // owned by the exchange; released here once the watchdog closed it
  HINTERNET raw_target_;     // its value, for the watchdog's thread
  std::thread thread_;       // last: started once everything it reads is in place
};

void SetTimeouts(HINTERNET session, std::chrono::milliseconds timeout) {
  DWORD value = static_cast<DWORD>(timeout.count());
  for (const DWORD option : kTimeoutOptions) {
    InternetSetOptionA(session, option, &value, sizeof value);  // failures are not fatal
  }
}

void SetReceiveTimeout(HINTERNET file, std::chrono::milliseconds timeout) {
  DWORD value = static_cast<DWORD>(std::max<long long>(timeout.count(), 1));
  InternetSetOptionA(file, INTERNET_OPTION_RECEIVE_TIMEOUT, &value, sizeof value);
  InternetSetOptionA(file, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &value, sizeof value);
}

// Reads up to the first line feed; false when a read fails, the line runs past its cap, the
// deadline passes, or the body ends before the line does and short of the length the server
// announced (a cut-off answer is no answer).
bool ReadFirstLine(HINTERNET file, std::chrono::milliseconds timeout, Clock::time_point deadline,
                   const CDeadlineWatchdog& watchdog, std::string& line) {
  CFirstLineReader reader;
  char buffer[512];
  unsigned long long received = 0;
  for (;;) {
    // Each wait for data is cut to what is left before the deadline, and only what has arrived
    // is read: a read of a whole buffer waits until the buffer is full, however long a peer
    // that sends a byte now and then takes to fill it.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || watchdog.Fired()) return false;
    SetReceiveTimeout(file, std::min(left, timeout));
    DWORD available = 0;
    if (!InternetQueryDataAvailable(file, &available, 0, 0)) return false;
    DWORD got = 0;
    if (available > 0 &&
        !InternetReadFile(file, buffer, std::min<DWORD>(available, sizeof buffer), &got)) {
      return false;
    }
    received += got;
    if (got == 0 || reader.Feed(std::string_view(buffer, got))) break;
  }
  if (reader.TooLong()) return false;
  if (!reader.Complete()) {
    if (watchdog.Fired()) return false;
    char length[32] = {};
    DWORD size = sizeof length - 1;
    if (HttpQueryInfoA(file, HTTP_QUERY_CONTENT_LENGTH, length, &size, nullptr) &&
        received < std::strtoull(length, nullptr, 10)) {
      return false;
    }
  }
  line = reader.Line();
  return true;
}

struct CrackedUrl {
  bool ok = false;
  std::string host;
  std::string object;  // path and query, as written
};

CrackedUrl CrackHttpUrl(const std::string& url, bool secure) {
  CrackedUrl cracked;
  char host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
  // The path and the query are as long as the URL allows, not INTERNET_MAX_PATH_LENGTH: a long
  // query is sent, as the other build sends it, rather than refused as a malformed URL.
  std::string path(url.size() + 1, '\0');
  std::string extra(url.size() + 1, '\0');
  URL_COMPONENTSA parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof host;
  parts.lpszUrlPath = path.data();
  parts.dwUrlPathLength = static_cast<DWORD>(path.size());
  parts.lpszExtraInfo = extra.data();
  parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
  if (!InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return cracked;
  if (parts.nScheme != (secure ? INTERNET_SCHEME_HTTPS : INTERNET_SCHEME_HTTP) || host[0] == '\0') return cracked;
  cracked.ok = true;
  cracked.host = host;
  cracked.object = std::string(path.c_str()) + extra.c_str();
  if (cracked.object.empty()) cracked.object = "/";
  return cracked;
}

// WinInet's certificate and channel errors, as the engine names them; nothing for any other error.
std::optional<TlsFailure> TlsFailureOf(DWORD error) {
  switch (error) {
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
      return TlsFailure::kUntrusted;
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
      return TlsFailure::kExpired;
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
      return TlsFailure::kWrongName;
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
      return TlsFailure::kNoTls;
    default:
      return std::nullopt;
  }
}

}  // namespace

HttpGetOutcome HttpGetFirstLine(const HttpGetRequest& request) {
  using Kind = HttpGetOutcome::Kind;
  const Clock::time_point deadline = Clock::now() + request.whole_limit;
  const std::string agent = GetProgramAppName();
  CInternetHandle session(InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return {Kind::kTransportFailure, 0, {}};
  SetTimeouts(session.Get(), request.timeout);

  const CrackedUrl url = CrackHttpUrl(request.url, request.secure);
  if (!url.ok) return {Kind::kMalformedUrl, 0, {}};

  CInternetHandle connection(InternetConnectA(session.Get(), url.host.c_str(), request.port, "", "",
                                              INTERNET_SERVICE_HTTP, 0, kContext));
  if (!connection) return {Kind::kTransportFailure, 0, {}};
  // A secure request keeps every certificate check WinInet makes: no INTERNET_FLAG_IGNORE_* flag.
  const DWORD flags = kHttpGetFlags | (request.secure ? INTERNET_FLAG_SECURE : 0);
  CInternetHandle file(HttpOpenRequestA(connection.Get(), "GET", url.object.c_str(), nullptr, nullptr,
                                        nullptr, flags, kContext));
  if (!file) return {Kind::kTransportFailure, 0, {}};
  // Declared after the handles, so that it is stopped before any of them is closed. The request
  // handle is the one every later call (connect, send, head and body) blocks on.
  const CDeadlineWatchdog watchdog(deadline, file);
  // Windows hands the session's time-outs down to its connections and requests; Wine hands down
  // only the connect time-out and leaves send and receive unlimited, so the request gets them too.
  SetTimeouts(connection.Get(), request.timeout);
  SetTimeouts(file.Get(), request.timeout);

  const std::string header = request.extra_header_line + "\r\n";
  HttpAddRequestHeadersA(file.Get(), header.c_str(), static_cast<DWORD>(header.size()),
                         HTTP_ADDREQ_FLAG_ADD_IF_NEW);
  if (!HttpSendRequestA(file.Get(), nullptr, 0, nullptr, 0) || watchdog.Fired()) {
    const std::optional<TlsFailure> refusal = request.secure ? TlsFailureOf(GetLastError()) : std::nullopt;
    if (refusal && !watchdog.Fired()) return {Kind::kTlsFailure, 0, {}, *refusal};
    return {Kind::kTransportFailure, 0, {}};
  }

  // No status at all means the server closed without answering: a failed exchange.
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoA(file.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
      status == 0) {
    return {Kind::kTransportFailure, 0, {}};
  }
  HttpGetOutcome outcome{Kind::kStatus, static_cast<int>(status), {}};
  if (status == 200 && !ReadFirstLine(file.Get(), request.timeout, deadline, watchdog, outcome.first_line)) {
    return {Kind::kTransportFailure, 0, {}};
  }
  return outcome;
}

std::optional<std::string> OpenUrlFirstLine(const std::string& url, std::chrono::milliseconds timeout,
                                            std::chrono::milliseconds whole_limit) {
  const Clock::time_point deadline = Clock::now() + whole_limit;
  // The sockets layer is started once per thread, as the framework's socket support would.
  thread_local const bool sockets_started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data) == 0;
  }();
  (void)sockets_started;

  const std::string agent = GetProgramAppName();
  CInternetHandle session(
      InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, INTERNET_FLAG_DONT_CACHE));
  if (!session) return std::nullopt;
  SetTimeouts(session.Get(), timeout);
  CInternetHandle file(nullptr);
  // InternetOpenUrl blocks until the head is in, before there is a handle of its own to close, so
  // the watchdog watches the session until then.
  CDeadlineWatchdog watchdog(deadline, session);
  file.Reset(InternetOpenUrlA(session.Get(), url.c_str(), nullptr, 0, kOpenUrlFlags, kContext));
  if (!watchdog.Retarget(file)) {
    // The session was closed, and with it the handle InternetOpenUrl may have made in time.
    file.Release();
    return std::nullopt;
  }
  if (!file) return std::nullopt;
  SetTimeouts(file.Get(), timeout);
  std::string line;
  if (!ReadFirstLine(file.Get(), timeout, deadline, watchdog, line)) return std::nullopt;
  return line;
}

}  // namespace zelquo::platform
