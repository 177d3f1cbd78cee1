#include "detection/ipv6_address.h"

#include <algorithm>
#include <tuple>

namespace zelquo {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A dotted IPv4 tail of exactly four numbers of 0 to 255 without leading zeros.
bool ParseDottedTail(std::string_view text, std::uint8_t* out) {
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (text.empty() || text.front() != '.') return false;
      text.remove_prefix(1);
    }
    std::size_t digits = 0;
    unsigned value = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9' && digits < 3) {
      value = value * 10 + static_cast<unsigned>(text[digits] - '0');
      ++digits;
    }
    if (digits == 0 || value > 255 || (digits > 1 && text.front() == '0')) return false;
    out[part] = static_cast<std::uint8_t>(value);
    text.remove_prefix(digits);
  }
  return text.empty();
}

// The groups of one side of "::" (or of the whole address): up to `room` groups written into
// out, their number in count; false on any malformed group.
bool ParseGroups(std::string_view text, std::uint8_t* out, std::size_t room, std::size_t& count, bool tail_allowed) {
  count = 0;
  if (text.empty()) return true;
  for (;;) {
    const std::size_t colon = text.find(':');
    const std::string_view group = text.substr(0, colon);
    if (colon == std::string_view::npos && tail_allowed && group.find('.') != std::string_view::npos) {
      if (count + 2 > room || !ParseDottedTail(group, out + count * 2)) return false;
      count += 2;
      return true;
    }
    if (group.empty() || group.size() > 4 || count >= room) return false;
    unsigned value = 0;
    for (const char c : group) {
      const int digit = HexValue(c);
      if (digit < 0) return false;
      value = value * 16 + static_cast<unsigned>(digit);
    }
    out[count * 2] = static_cast<std::uint8_t>(value >> 8);
    out[count * 2 + 1] = static_cast<std::uint8_t>(value & 0xff);
    ++count;
    if (colon == std::string_view::npos) return true;
    text.remove_prefix(colon + 1);
  }
}

std::uint16_t Group(const Ipv6Bytes& address, std::size_t n) {
  return static_cast<std::uint16_t>(address[n * 2] << 8 | address[n * 2 + 1]);
}

}  // namespace

std::string Ipv6Text(const Ipv6Bytes& address) {
  // The longest run of zero groups, at least two long.
  std::size_t best_start = 8, best_length = 0;
  for (std::size_t start = 0; start < 8;) {
    std::size_t length = 0;
    while (start + length < 8 && Group(address, start + length) == 0) ++length;
    if (length > best_length && length >= 2) {
      best_start = start;
      best_length = length;
    }
    start += length == 0 ? 1 : length;
  }
  std::string text;
  for (std::size_t n = 0; n < 8; ++n) {
    if (n == best_start) {
      text += "::";
      n += best_length - 1;
      continue;
    }
    if (!text.empty() && text.back() != ':') text += ':';
    const std::uint16_t group = Group(address, n);
    bool leading = true;
    for (int shift = 12; shift >= 0; shift -= 4) {
      const unsigned digit = (group >> shift) & 0xf;
      if (leading && digit == 0 && shift != 0) continue;
      leading = false;
      text += kHexDigits[digit];
    }
  }
  return text;
}

std::optional<Ipv6Bytes> ParseIpv6Text(std::string_view text) {
  Ipv6Bytes head{}, tail{};
  std::size_t head_count = 0, tail_count = 0;
  const std::size_t gap = text.find("::");
  if (gap == std::string_view::npos) {
    if (!ParseGroups(text, head.data(), 8, head_count, true) || head_count != 8) return std::nullopt;
    return head;
  }
  if (text.find("::", gap + 1) != std::string_view::npos) return std::nullopt;
  const std::string_view before = text.substr(0, gap);
  const std::string_view after = text.substr(gap + 2);
  if (!ParseGroups(before, head.data(), 7, head_count, false)) return std::nullopt;
  if (!ParseGroups(after, tail.data(), 7 - head_count, tail_count, true)) return std::nullopt;
  Ipv6Bytes address{};
  std::copy_n(head.begin(), head_count * 2, address.begin());
  std::copy_n(tail.begin(), tail_count * 2, address.end() - static_cast<std::ptrdiff_t>(tail_count * 2));
  return address;
}

bool IsUsableIpv6Candidate(const Ipv6Candidate& candidate) {
  return IsGlobalUnicast(candidate.address) && candidate.interface_up && !candidate.interface_loopback && !candidate.tentative &&
         !candidate.dad_failed && !candidate.deprecated && candidate.preferred_lifetime != 0;
}

std::string ChooseIpv6Address(const std::vector<Ipv6Candidate>& candidates,
                              const std::function<bool(std::string_view)>& ignored) {
  // Smaller ranks first: stable before temporary, then the longest preferred lifetime.
  const auto rank = [](const Ipv6Candidate& c) {
    return std::make_tuple(c.temporary, ~c.preferred_lifetime, c.interface_index, c.address);
  };
  const Ipv6Candidate* best = nullptr;
  for (const Ipv6Candidate& candidate : candidates) {
    if (!IsUsableIpv6Candidate(candidate)) continue;
    if (ignored && ignored(Ipv6Text(candidate.address))) continue;
    if (best == nullptr || rank(candidate) < rank(*best)) best = &candidate;
  }
  return best == nullptr ? std::string() : Ipv6Text(best->address);
}

}  // namespace zelquo
