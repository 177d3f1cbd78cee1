// Plain-HTTP form of the HTTP transport: one connection per request, the request written by
// hand, the reply read by CHttpReplyReader. The observable request matches the Windows client's:
// GET, the one extra header line, the caller's port, and the proxy from the usual proxy
// environment variables (the POSIX form of system proxy settings). Every phase gives up after the
// time-out without progress, and the whole exchange after its overall limit. Only http is spoken:
// every request this client sends is plain http.
#include "platform/http_transport.h"

#include <array>

#include "http/http_url.h"
#include "platform/module_path.h"
#include "platform/posix/base64.h"
#include "platform/posix/http_connection.h"
#include "platform/posix/http_reply_reader.h"
#include "platform/posix/proxy_settings.h"

namespace zelquo::platform {

namespace {

using Clock = CHttpConnection::Clock;

// "Name:value" goes out as "Name: value", as clients commonly write header lines.
std::string SpellHeaderLine(const std::string& line) {
  const auto colon = line.find(':');
  if (colon == std::string::npos) return line;
  std::string_view value = std::string_view(line).substr(colon + 1);
  while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
  return line.substr(0, colon) + ": " + std::string(value);
}

struct Exchange {
  std::string connect_host;
  std::uint16_t connect_port = 80;
  std::string head;  // the whole request
};

// The request for `url` on `port`, through `proxy` when one is chosen: then the request line
// carries the absolute URL and the connection goes to the proxy.
Exchange BuildExchange(const HttpUrl& url, std::uint16_t port, const ProxyChoice& proxy,
                       const std::string& extra_header_line) {
  const std::string authority = HttpAuthority(url.host, port);
  Exchange exchange{url.host, port, {}};
  std::string target = url.target;
  if (proxy.kind == ProxyChoice::Kind::kHttpProxy) {
    exchange.connect_host = proxy.proxy.host;
    exchange.connect_port = proxy.proxy.port;
    target = "http://" + authority + url.target;
  }
  std::string& head = exchange.head;
  head = "GET " + target + " HTTP/1.1\r\nHost: " + authority + "\r\nUser-Agent: " + GetProgramAppName() + "\r\n";
  if (proxy.kind == ProxyChoice::Kind::kHttpProxy && !proxy.proxy.basic_credentials.empty()) {
    head += "Proxy-Authorization: Basic " + EncodeBase64(proxy.proxy.basic_credentials) + "\r\n";
  }
  if (!extra_header_line.empty()) head += SpellHeaderLine(extra_header_line) + "\r\n";
  head += "\r\n";
  return exchange;
}

// Sends the request and reads until the reader has its answer. Nothing on any failure.
std::optional<int> RunExchange(const Exchange& exchange, CHttpReplyReader& reader, std::chrono::milliseconds timeout,
                               std::chrono::milliseconds whole_limit) {
  CHttpConnection connection(timeout, Clock::now() + whole_limit);
  if (!connection.Connect(exchange.connect_host, exchange.connect_port) || !connection.SendAll(exchange.head)) {
    return std::nullopt;
  }
  std::array<char, 16 * 1024> buffer;
  for (;;) {
    const long got = connection.Receive(buffer.data(), buffer.size());
    if (got < 0) return std::nullopt;
    const auto progress = got == 0 ? reader.EndOfStream()
                                   : reader.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    if (progress == CHttpReplyReader::Progress::kFailed) return std::nullopt;
    if (progress == CHttpReplyReader::Progress::kDone) return reader.Status();
  }
}

}  // namespace

HttpGetOutcome HttpGetFirstLine(const HttpGetRequest& request) {
  using Kind = HttpGetOutcome::Kind;
  const std::optional<HttpUrl> url = CrackHttpUrl(request.url);
  if (!url) return {Kind::kMalformedUrl, 0, {}};
  const ProxyChoice proxy = ChooseProxy(url->host);
  if (proxy.kind == ProxyChoice::Kind::kUnusable) return {Kind::kTransportFailure, 0, {}};

  CHttpReplyReader reader(/*body_of_200_only=*/true);
  const std::optional<int> status = RunExchange(BuildExchange(*url, request.port, proxy, request.extra_header_line),
                                                reader, request.timeout, request.whole_limit);
  if (!status) return {Kind::kTransportFailure, 0, {}};
  HttpGetOutcome outcome{Kind::kStatus, *status, {}};
  if (*status == 200) outcome.first_line = reader.FirstLine();
  return outcome;
}

std::optional<std::string> OpenUrlFirstLine(const std::string& url_text, std::chrono::milliseconds timeout,
                                            std::chrono::milliseconds whole_limit) {
  const std::optional<HttpUrl> url = CrackHttpUrl(url_text);
  if (!url) return std::nullopt;
  CHttpReplyReader reader(/*body_of_200_only=*/false);
  const ProxyChoice direct;
  if (!RunExchange(BuildExchange(*url, url->port, direct, {}), reader, timeout, whole_limit)) return std::nullopt;
  return reader.FirstLine();
}

}  // namespace zelquo::platform
