// The raw IP-check answer: the same buffer whether it arrives in pieces or byte by byte, and an
// address taken from it is digits and dots or "abort", never anything else.
#include <string>

#include "detection/ip_check_servers.h"
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
  return 0;
}
