#include "detection/ip_check_servers.h"

#include <algorithm>

#include "address_marker.h"
#include "crypto/scramble.h"
#include "detection/ipv6_address.h"
#include "platform/tcp_socket.h"
#include "provider_config.h"

namespace zelquo {

namespace {

constexpr char kIpCheckPath[] = "/ipcheck.asp";
constexpr std::uint16_t kIpCheckPorts[] = {8245, 80};  // 8245 first: it avoids ISP proxies
// More than any IP-check reply needs; a longer one is cut here and still read.
constexpr std::size_t kMaxIpv6ReplyLength = 4096;

// One attempt over IPv6: the whole reply as far as it came, or empty text.
std::string FetchOverIpv6(const IpCheckAttempt& attempt, std::chrono::milliseconds timeout) {
  const auto phase = std::max(std::chrono::ceil<std::chrono::seconds>(timeout), std::chrono::seconds(1));
  const auto deadline = std::chrono::steady_clock::now() + WholeExchangeLimit(phase);
  platform::CTimeoutSocket socket;
  socket.SetTimeout(phase);
  if (!socket.Create("::") || !socket.Connect(attempt.host, attempt.port)) return std::string();
  const std::string request = detail::Ipv6CheckRequest(attempt.host);
  if (socket.Send(request.data(), static_cast<int>(request.size())) < 1) return std::string();
  std::string reply;
  char chunk[512];
  while (reply.size() < kMaxIpv6ReplyLength) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= left.zero()) break;
    socket.SetTimeout(std::min(phase, std::chrono::ceil<std::chrono::seconds>(left)));
    const int received = socket.Receive(chunk, sizeof chunk);
    if (received <= 0) break;
    reply.append(chunk, static_cast<std::size_t>(received));
  }
  return reply;
}

}  // namespace

std::vector<IpCheckAttempt> ProductionIpCheckAttempts() {
  const char* const servers[] = {provider::kPrimaryIpCheckHost, provider::kSecondaryIpCheckHost,
                                 provider::kFirstFallbackIpCheckAddress,
                                 provider::kSecondFallbackIpCheckAddress};
  std::vector<IpCheckAttempt> attempts;
  for (const char* server : servers) {
    for (const std::uint16_t port : kIpCheckPorts) attempts.push_back({server, port});
  }
  return attempts;
}

std::string QueryIpCheckServers(const std::vector<IpCheckAttempt>& attempts, std::chrono::milliseconds timeout) {
  for (const IpCheckAttempt& attempt : attempts) {
    std::string answer = HttpGetLine("http://" + attempt.host + kIpCheckPath, attempt.port, timeout);
    // Only a leading "Error" marks a failure; the word further on is part of an answer.
    if (!answer.empty() && answer.rfind("Error", 0) != 0) return answer;
  }
  return std::string();
}

std::string QueryIpv6CheckServers(const std::vector<IpCheckAttempt>& attempts, std::chrono::milliseconds timeout) {
  for (const IpCheckAttempt& attempt : attempts) {
    std::string address = detail::Ipv6FromIpCheckReply(FetchOverIpv6(attempt, timeout));
    if (!address.empty()) return address;
  }
  return std::string();
}

bool IsDottedDigits(std::string_view text) {
  return text.find_first_not_of("0123456789.") == std::string_view::npos;
}

IpCheckAttempt ProductionIpCheckFromServer() { return {provider::kPrimaryIpCheckHost, kIpCheckPorts[0]}; }

std::string QueryIpCheckFrom(std::string_view local_address) {
  return QueryIpCheckFrom(local_address, ProductionIpCheckFromServer(), kIpCheckFromTimeout);
}

std::string QueryIpCheckFrom(std::string_view local_address, const IpCheckAttempt& server,
                             std::chrono::seconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + WholeExchangeLimit(timeout);
  platform::CTimeoutSocket socket;
  socket.SetTimeout(timeout);
  if (!socket.Create(local_address)) return kDetectionAbort;
  if (!socket.Connect(server.host, server.port)) return kDetectionAbort;

  const std::string request = detail::IpCheckFromRequest(server.host);
  if (socket.Send(request.data(), static_cast<int>(request.size())) < 1) return kDetectionAbort;

  // The server is not asked to close the connection; one that keeps it open after answering
  // ends the reading by the receive time-out, and what came so far is used all the same. So
  // does one that is still sending at the deadline, or sends a line longer than any answer.
  detail::CIpCheckAnswerBuffer answer;
  char byte = 0;
  for (;;) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= left.zero() || answer.Full()) break;
    socket.SetTimeout(left < timeout ? std::chrono::ceil<std::chrono::seconds>(left) : timeout);
    if (socket.Receive(&byte, 1) != 1) break;
    answer.Feed(byte);
  }
  socket.Close();
  return detail::AddressFromIpCheckAnswer(answer.Text());
}

namespace detail {

std::string IpCheckFromRequest(std::string_view host) {
  return "GET /ipcheck.asp HTTP/1.1\r\nhost: " + std::string(host) + "\r\n\r\n";
}

std::string Ipv6CheckRequest(std::string_view host) {
  return "GET /ipcheck.asp HTTP/1.0\r\nHost: " + std::string(host) + "\r\n" +
         UnscrambleText(provider::kScrambledClientHeaderLine) + "\r\n\r\n";
}

std::string Ipv6FromIpCheckReply(std::string_view reply) {
  // "HTTP/1.x 200" and then a space or the line's end.
  if (reply.rfind("HTTP/1.", 0) != 0 || reply.size() < 12 || reply.substr(8, 4) != " 200") return std::string();
  if (reply.size() > 12 && reply[12] != ' ' && reply[12] != '\r' && reply[12] != '\n') return std::string();
  std::size_t body = reply.find("\r\n\r\n");
  body = body == std::string_view::npos ? reply.find("\n\n") : body + 2;
  if (body == std::string_view::npos) return std::string();
  std::string_view line = reply.substr(body + 2);
  line = line.substr(0, line.find_first_of("\r\n"));
  if (line.rfind("ip", 0) != 0) return std::string();
  const std::optional<Ipv6Bytes> address = ParseIpv6Text(line.substr(2));
  return address && IsGlobalUnicast(*address) ? Ipv6Text(*address) : std::string();
}

void CIpCheckAnswerBuffer::Feed(char byte) {
  if (after_cr_) {
    after_cr_ = false;
    if (byte == '\n') {
      text_.assign(1, '\n');
      return;
    }
    // The CR is dropped and this byte is taken as it comes (another CR waits again).
  }
  if (byte == '\r') {
    after_cr_ = true;
    return;
  }
  if (!Full()) text_.push_back(byte);
}

std::string AddressFromIpCheckAnswer(std::string_view buffer) {
  const std::size_t ip = buffer.find("ip");
  if (buffer.empty() || ip == std::string_view::npos) return kDetectionAbort;
  const std::string_view candidate = buffer.substr(ip + 2);
  return IsDottedDigits(candidate) ? std::string(candidate) : std::string(kDetectionAbort);
}

}  // namespace detail

}  // namespace zelquo
