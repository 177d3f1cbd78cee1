// POSIX form of the HTTP transport: one connection per request, the request written by hand, the
// reply read by CHttpReplyReader, over TLS (tls_session.h) for a secure request. The observable
// request matches the Windows client's: GET, the one extra header line, the caller's port, and
// the proxy from the usual proxy environment variables (the POSIX form of system proxy
// settings); a secure request goes through a proxy in a CONNECT tunnel, and the TLS session is
// with the provider, never the proxy. Every phase gives up after the time-out without progress,
// and the whole exchange after its overall limit.
#include "platform/http_transport.h"

#include <array>
#include <cstdio>

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

using Kind = HttpGetOutcome::Kind;

struct Exchange {
  std::string connect_host;
  std::uint16_t connect_port = 80;
  std::string tunnel_head;  // the CONNECT request to the proxy before a secure exchange, or empty
  std::string tls_host;     // the host the TLS session is with, or empty for plain HTTP
  std::string head;         // the whole request
};

std::string ProxyAuthorizationLine(const ProxyChoice& proxy) {
  if (proxy.kind != ProxyChoice::Kind::kHttpProxy || proxy.proxy.basic_credentials.empty()) return {};
  return "Proxy-Authorization: Basic " + EncodeBase64(proxy.proxy.basic_credentials) + "\r\n";
}

// The request for `url` on `port`, through `proxy` when one is chosen. Plain HTTP: the request
// line carries the absolute URL and the connection goes to the proxy. HTTPS: the proxy is asked
// for a tunnel to the server, and the request inside it is as without a proxy.
Exchange BuildExchange(const HttpUrl& url, UrlScheme scheme, std::uint16_t port, const ProxyChoice& proxy,
                       const std::string& extra_header_line) {
  const bool secure = scheme == UrlScheme::kHttps;
  const bool proxied = proxy.kind == ProxyChoice::Kind::kHttpProxy;
  const std::string authority = HttpAuthority(url.host, port, scheme);
  Exchange exchange{url.host, port, {}, secure ? url.host : std::string(), {}};
  std::string target = url.target;
  if (proxied) {
    exchange.connect_host = proxy.proxy.host;
    exchange.connect_port = proxy.proxy.port;
  }
  const std::string user_agent_line = "User-Agent: " + GetProgramAppName() + "\r\n";
  if (proxied && secure) {
    // The tunnel's end always names its port.
    const std::string host = url.host.find(':') == std::string::npos ? url.host : "[" + url.host + "]";
    const std::string tunnel_end = host + ":" + std::to_string(port);
    exchange.tunnel_head = "CONNECT " + tunnel_end + " HTTP/1.1\r\nHost: " + tunnel_end + "\r\n" + user_agent_line +
                           ProxyAuthorizationLine(proxy) + "\r\n";
  } else if (proxied) {
    target = "http://" + authority + url.target;
  }
  std::string& head = exchange.head;
  head = "GET " + target + " HTTP/1.1\r\nHost: " + authority + "\r\n" + user_agent_line;
  if (!secure) head += ProxyAuthorizationLine(proxy);
  if (!extra_header_line.empty()) head += SpellHeaderLine(extra_header_line) + "\r\n";
  head += "\r\n";
  return exchange;
}

// The proxy's answer to CONNECT, up to the blank line that ends it: its status, or nothing when
// it does not come whole (a tunnel answer has no body to read).
std::optional<int> ReadTunnelAnswer(CHttpConnection& connection) {
  constexpr std::size_t kMaxTunnelAnswer = 16 * 1024;
  std::string answer;
  char byte = 0;
  // A byte at a time: what follows the blank line belongs to the TLS session.
  while (answer.size() < kMaxTunnelAnswer && !answer.ends_with("\r\n\r\n")) {
    if (connection.Receive(&byte, 1) != 1) return std::nullopt;
    answer.push_back(byte);
  }
  int status = 0;
  if (!answer.starts_with("HTTP/1.") || answer.size() < 12 || answer[8] != ' ' ||
      std::sscanf(answer.c_str() + 9, "%3d", &status) != 1) {
    return std::nullopt;
  }
  return status;
}

// Sends the request and reads until the reader has its answer. The outcome's first line is the
// caller's to take from the reader.
HttpGetOutcome RunExchange(const Exchange& exchange, CHttpReplyReader& reader, std::chrono::milliseconds timeout,
                           std::chrono::milliseconds whole_limit) {
  const HttpGetOutcome failed{Kind::kTransportFailure, 0, {}};
  CHttpConnection connection(timeout, Clock::now() + whole_limit);
  if (!connection.Connect(exchange.connect_host, exchange.connect_port)) return failed;
  if (!exchange.tunnel_head.empty()) {
    if (!connection.SendAll(exchange.tunnel_head)) return failed;
    const std::optional<int> tunnel_status = ReadTunnelAnswer(connection);
    if (!tunnel_status) return failed;
    if (*tunnel_status != 200) return {Kind::kStatus, *tunnel_status, {}};  // the proxy's refusal
  }
  if (!exchange.tls_host.empty()) {
    switch (connection.StartTls(exchange.tls_host)) {
      case CTlsSession::Handshake::kDone:
        break;
      case CTlsSession::Handshake::kRefused:
        return {Kind::kTlsFailure, 0, {}, connection.TlsRefusal()};
      case CTlsSession::Handshake::kBroken:
        return failed;
    }
  }
  if (!connection.SendAll(exchange.head)) return failed;
  std::array<char, 16 * 1024> buffer;
  for (;;) {
    const long got = connection.Receive(buffer.data(), buffer.size());
    if (got < 0) return failed;
    const auto progress = got == 0 ? reader.EndOfStream()
                                   : reader.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    if (progress == CHttpReplyReader::Progress::kFailed) return failed;
    if (progress == CHttpReplyReader::Progress::kDone) return {Kind::kStatus, reader.Status(), {}};
  }
}

}  // namespace

HttpGetOutcome HttpGetFirstLine(const HttpGetRequest& request) {
  const UrlScheme scheme = request.secure ? UrlScheme::kHttps : UrlScheme::kHttp;
  const std::optional<HttpUrl> url = CrackHttpUrl(request.url, scheme);
  if (!url) return {Kind::kMalformedUrl, 0, {}};
  const ProxyChoice proxy = ChooseProxy(url->host, scheme);
  if (proxy.kind == ProxyChoice::Kind::kUnusable) return {Kind::kTransportFailure, 0, {}};

  CHttpReplyReader reader(/*body_of_200_only=*/true);
  HttpGetOutcome outcome = RunExchange(BuildExchange(*url, scheme, request.port, proxy, request.extra_header_line),
                                       reader, request.timeout, request.whole_limit);
  if (outcome.kind == Kind::kStatus && outcome.status == 200) outcome.first_line = reader.FirstLine();
  return outcome;
}

std::optional<std::string> OpenUrlFirstLine(const std::string& url_text, std::chrono::milliseconds timeout,
                                            std::chrono::milliseconds whole_limit) {
  UrlScheme scheme = UrlScheme::kHttp;
  std::optional<HttpUrl> url = CrackHttpUrl(url_text, scheme);
  if (!url) url = CrackHttpUrl(url_text, scheme = UrlScheme::kHttps);
  if (!url) return std::nullopt;
  CHttpReplyReader reader(/*body_of_200_only=*/false);
  const ProxyChoice direct;
  if (RunExchange(BuildExchange(*url, scheme, url->port, direct, {}), reader, timeout, whole_limit).kind != Kind::kStatus) {
    return std::nullopt;
  }
  return reader.FirstLine();
}

}  // namespace zelquo::platform
