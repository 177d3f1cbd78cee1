// The hop loop of the route tracer and the dotted-quad helpers it shares with the change check.
// Sending one echo is the platform's (platform/icmp_echo.h).
#include "change_check/route_tracer.h"

#include <array>
#include <cstring>

namespace zelquo {

namespace {

std::uint32_t AddressFromOctets(const std::array<unsigned char, 4>& octets) {
  std::uint32_t address = 0;
  std::memcpy(&address, octets.data(), octets.size());  // the first octet is the first byte
  return address;
}

}  // namespace

std::optional<std::uint32_t> ParseDottedQuad(std::string_view text) {
  std::array<unsigned char, 4> octets{};
  std::size_t at = 0;
  for (std::size_t i = 0; i < octets.size(); ++i) {
    if (i > 0) {
      if (at >= text.size() || text[at] != '.') return std::nullopt;
      ++at;
    }
    int value = 0;
    std::size_t digits = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3) {
      value = value * 10 + (text[at] - '0');
      ++at;
      ++digits;
    }
    if (digits == 0 || value > 255) return std::nullopt;
    octets[i] = static_cast<unsigned char>(value);
  }
  if (at != text.size()) return std::nullopt;
  return AddressFromOctets(octets);
}

std::string FormatDottedQuad(std::uint32_t address) {
  std::array<unsigned char, 4> octets{};
  std::memcpy(octets.data(), &address, octets.size());
  std::string text;
  for (std::size_t i = 0; i < octets.size(); ++i) {
    if (i > 0) text += '.';
    text += std::to_string(octets[i]);
  }
  return text;
}

TraceResult TraceRouteThrough(const EchoService& service, std::string_view target, int max_hops,
                              std::chrono::milliseconds timeout, int echoes_per_hop) {
  using Outcome = platform::EchoReply::Outcome;
  if (!service.bind()) return {};
  std::optional<std::uint32_t> destination = ParseDottedQuad(target);
  if (!destination) destination = service.resolve(target);
  if (!destination) return {};

  TraceResult result;
  for (int hop = 1; hop <= max_hops; ++hop) {
    HopRecord record;
    for (int echo = 0; echo < echoes_per_hop; ++echo) {
      const platform::EchoReply reply = service.send(*destination, hop, timeout);
      if (reply.outcome == Outcome::kNoService) return {};
      if (reply.outcome == Outcome::kNoReply) {
        record.status = reply.error;
        break;
      }
      record.address = reply.address;
    }
    result.hops.push_back(record);
    if (record.address == *destination) break;
  }
  result.ok = true;
  return result;
}

TraceResult TraceRoute(std::string_view target, int max_hops, std::chrono::milliseconds timeout, int echoes_per_hop) {
  return TraceRouteThrough(EchoService{}, target, max_hops, timeout, echoes_per_hop);
}

}  // namespace zelquo
