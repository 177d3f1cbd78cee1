// The first line of a reply body, however the body is split into pieces: the same line as when
// the body arrives whole.
#include <string>

#include "fuzz/fuzz_input.h"
#include "http/first_line_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using zelquo::fuzz::Require;
  if (size == 0) return 0;
  const std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);

  zelquo::CFirstLineReader whole;
  whole.Feed(body);
  zelquo::CFirstLineReader pieces;
  zelquo::fuzz::FeedInPieces(body, data[0], [&](std::string_view piece) { return pieces.Feed(piece); });

  Require(pieces.Complete() == whole.Complete() && pieces.TooLong() == whole.TooLong(),
          "how reading ends does not depend on the pieces");
  Require(pieces.Line() == whole.Line(), "the line does not depend on the pieces");
  Require(whole.Line().find_first_of("\r\n") == std::string::npos, "the line holds no line break");
  Require(whole.Line().size() <= zelquo::kMaxFirstLineLength, "the line is capped");
  if (!whole.TooLong()) {
    Require(whole.Complete() == (body.find('\n') != std::string_view::npos), "complete once a line feed came");
  }
  return 0;
}
