// WinInet form of the HTTP transport: a fresh session per call, the session's preconfigured
// (system) proxy, seven time-out options, and a GET that neither reads nor writes the cache.
// Reading the body also keeps to the exchange's overall limit.
#include "platform/http_transport.h"

#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdlib>

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
                   std::string& line) {
  CFirstLineReader reader;
  char buffer[512];
  unsigned long long received = 0;
  for (;;) {
    // Each wait for data is cut to what is left before the deadline, and only what has arrived
    // is read: a read of a whole buffer waits until the buffer is full, however long a peer
    // that sends a byte now and then takes to fill it.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
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

CrackedUrl CrackHttpUrl(const std::string& url) {
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
  if (parts.nScheme != INTERNET_SCHEME_HTTP || host[0] == '\0') return cracked;
  cracked.ok = true;
  cracked.host = host;
  cracked.object = std::string(path.c_str()) + extra.c_str();
  if (cracked.object.empty()) cracked.object = "/";
  return cracked;
}

}  // namespace

HttpGetOutcome HttpGetFirstLine(const HttpGetRequest& request) {
  using Kind = HttpGetOutcome::Kind;
  const Clock::time_point deadline = Clock::now() + request.whole_limit;
  const std::string agent = GetProgramAppName();
  CInternetHandle session(InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return {Kind::kTransportFailure, 0, {}};
  SetTimeouts(session.Get(), request.timeout);

  const CrackedUrl url = CrackHttpUrl(request.url);
  if (!url.ok) return {Kind::kMalformedUrl, 0, {}};

  CInternetHandle connection(InternetConnectA(session.Get(), url.host.c_str(), request.port, "", "",
                                              INTERNET_SERVICE_HTTP, 0, kContext));
  if (!connection) return {Kind::kTransportFailure, 0, {}};
  CInternetHandle file(HttpOpenRequestA(connection.Get(), "GET", url.object.c_str(), nullptr, nullptr,
                                        nullptr, kHttpGetFlags, kContext));
  if (!file) return {Kind::kTransportFailure, 0, {}};
  // Windows hands the session's time-outs down to its connections and requests; Wine hands down
  // only the connect time-out and leaves send and receive unlimited, so the request gets them too.
  SetTimeouts(connection.Get(), request.timeout);
  SetTimeouts(file.Get(), request.timeout);

  const std::string header = request.extra_header_line + "\r\n";
  HttpAddRequestHeadersA(file.Get(), header.c_str(), static_cast<DWORD>(header.size()),
                         HTTP_ADDREQ_FLAG_ADD_IF_NEW);
  if (!HttpSendRequestA(file.Get(), nullptr, 0, nullptr, 0)) return {Kind::kTransportFailure, 0, {}};

  // No status at all means the server closed without answering: a failed exchange.
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoA(file.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
      status == 0) {
    return {Kind::kTransportFailure, 0, {}};
  }
  HttpGetOutcome outcome{Kind::kStatus, static_cast<int>(status), {}};
  if (status == 200 && !ReadFirstLine(file.Get(), request.timeout, deadline, outcome.first_line)) {
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
  CInternetHandle file(InternetOpenUrlA(session.Get(), url.c_str(), nullptr, 0, kOpenUrlFlags, kContext));
  if (!file) return std::nullopt;
  SetTimeouts(file.Get(), timeout);
  std::string line;
  if (!ReadFirstLine(file.Get(), timeout, deadline, line)) return std::nullopt;
  return line;
}

}  // namespace zelquo::platform
