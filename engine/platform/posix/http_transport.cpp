// libcurl form of the HTTP transport. The observable request matches the Windows client's: GET,
// the one extra header line, the caller's port, no caching, and the proxy from the usual proxy
// environment variables (the POSIX form of system proxy settings). Every phase gives up after
// the time-out without progress, and the whole transfer after its overall limit.
#include "platform/http_transport.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

#include "http/first_line_reader.h"
#include "platform/module_path.h"

namespace zelquo::platform {

namespace {

struct CurlEasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct CurlListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct CurlUrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;
using CurlUrl = std::unique_ptr<CURLU, CurlUrlDeleter>;

CurlEasy NewEasyHandle() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  return CurlEasy(curl_easy_init());
}

bool IsHttpUrlWithHost(const std::string& url) {
  CurlUrl parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
    return false;
  }
  char* scheme = nullptr;
  char* host = nullptr;
  const bool has_scheme = curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK;
  const bool has_host = curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK;
  const bool ok = has_scheme && has_host && std::string_view(scheme) == "http" && host[0] != '\0';
  curl_free(scheme);
  curl_free(host);
  return ok;
}

std::string SpellHeaderLine(const std::string& line) {
  const auto colon = line.find(':');
  if (colon == std::string::npos) return line;
  std::string_view value = std::string_view(line).substr(colon + 1);
  while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
  return line.substr(0, colon) + ": " + std::string(value);
}

struct Transfer {
  CURL* handle;
  bool only_status_200;  // read the body of 200 answers only
  CFirstLineReader reader;
  bool stopped_early = false;
};

// Stops the transfer (by consuming less than offered) once the line is complete, or at once
// when the status says the body is not wanted.
size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  if (transfer->only_status_200) {
    long status = 0;
    curl_easy_getinfo(transfer->handle, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200) {
      transfer->stopped_early = true;
      return 0;
    }
  }
  if (transfer->reader.Feed(std::string_view(data, size * count))) {
    transfer->stopped_early = !transfer->reader.TooLong();  // a line too long is a failure
    return 0;
  }
  return size * count;
}

void SetCommonOptions(CURL* handle, const std::string& url, std::chrono::milliseconds timeout,
                      std::chrono::milliseconds whole_limit, const std::string& agent, Transfer& transfer) {
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_USERAGENT, agent.c_str());
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout.count()));
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(whole_limit.count()));
  // No progress at all for the whole time-out ends the transfer, as a per-phase time-out would.
  const long seconds = static_cast<long>((timeout.count() + 999) / 1000);
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, seconds > 0 ? seconds : 1L);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
}

}  // namespace

HttpGetOutcome HttpGetFirstLine(const HttpGetRequest& request) {
  using Kind = HttpGetOutcome::Kind;
  const std::string& url = request.url;
  if (!IsHttpUrlWithHost(url)) return {Kind::kMalformedUrl, 0, {}};
  CurlEasy handle = NewEasyHandle();
  if (!handle) return {Kind::kTransportFailure, 0, {}};

  Transfer transfer{handle.get(), true, {}, false};
  const std::string agent = GetProgramAppName();
  SetCommonOptions(handle.get(), url, request.timeout, request.whole_limit, agent, transfer);
  curl_easy_setopt(handle.get(), CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(handle.get(), CURLOPT_PORT, static_cast<long>(request.port));
  // The header goes out as "Name: value", and curl's own Accept line is left out, so the request
  // reads as the Windows client's does.
  CurlList headers(curl_slist_append(nullptr, SpellHeaderLine(request.extra_header_line).c_str()));
  headers.reset(curl_slist_append(headers.release(), "Accept:"));
  curl_easy_setopt(handle.get(), CURLOPT_HTTPHEADER, headers.get());

  const CURLcode result = curl_easy_perform(handle.get());
  if (result != CURLE_OK && !(result == CURLE_WRITE_ERROR && transfer.stopped_early)) {
    return {Kind::kTransportFailure, 0, {}};
  }
  long status = 0;
  curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status);
  HttpGetOutcome outcome{Kind::kStatus, static_cast<int>(status), {}};
  if (status == 200) outcome.first_line = transfer.reader.Line();
  return outcome;
}

std::optional<std::string> OpenUrlFirstLine(const std::string& url, std::chrono::milliseconds timeout,
                                            std::chrono::milliseconds whole_limit) {
  CurlEasy handle = NewEasyHandle();
  if (!handle) return std::nullopt;
  Transfer transfer{handle.get(), false, {}, false};
  const std::string agent = GetProgramAppName();
  SetCommonOptions(handle.get(), url, timeout, whole_limit, agent, transfer);
  curl_easy_setopt(handle.get(), CURLOPT_PROXY, "");  // direct, whatever the environment says
  const CURLcode result = curl_easy_perform(handle.get());
  if (result != CURLE_OK && !(result == CURLE_WRITE_ERROR && transfer.stopped_early)) return std::nullopt;
  return transfer.reader.Line();
}

}  // namespace zelquo::platform
