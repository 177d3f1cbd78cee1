// The raw IP-check answer: the same buffer whether it arrives in pieces or byte by byte, and an
// address taken from it is digits and dots or "abort", never anything else. The same bytes as an
// IPv6 check's reply give empty text or a canonical global address that reads back the same.
#include <string>

#include "detection/ip_check_servers.h"
#include "detection/ipv6_address.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using zelquo::fuzz::Require;
  if (size == 0) return 0;
  const std::string_view answer(reinterpret_cast<const char*>(data) + 1, size - 1);

  zelquo::detail::CIpCheckAnswerBuffer bytewise;
  for (const char byte : answer) bytewise.Feed(byte);
  zelquo::detail::CIpCheckAnswerBuffer pieces;
  zelquo::fuzz::FeedInPieces(answer, data[0], [&](std::string_view piece) {
    pieces.Feed(piece);
    return false;
  });
  Require(pieces.Text() == bytewise.Text(), "the buffer does not depend on the pieces");

  const std::string address = zelquo::detail::AddressFromIpCheckAnswer(pieces.Text());
  Require(address == "abort" || zelquo::IsDottedDigits(address), "an address is digits and dots, or abort");

  const std::string ipv6 = zelquo::detail::Ipv6FromIpCheckReply(answer);
  if (!ipv6.empty()) {
    const auto bytes = zelquo::ParseIpv6Text(ipv6);
    Require(bytes && zelquo::IsGlobalUnicast(*bytes) && zelquo::Ipv6Text(*bytes) == ipv6,
            "an IPv6 answer is a canonical global address");
  }
  if (const auto parsed = zelquo::ParseIpv6Text(answer)) {
    Require(zelquo::ParseIpv6Text(zelquo::Ipv6Text(*parsed)) == parsed, "an IPv6 text reads back as written");
  }
  return 0;
}
