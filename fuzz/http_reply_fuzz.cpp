// A provider's reply, however it is framed and split into pieces: read the same as when it
// arrives whole, and never a line with a line break in it or past the cap.
#include <string>

#include "fuzz/fuzz_input.h"
#include "platform/posix/http_reply_reader.h"

namespace {

using zelquo::platform::CHttpReplyReader;

struct Reading {
  CHttpReplyReader::Progress progress;
  int status;
  std::string line;
};

template <class FeedAll>
Reading ReadReply(bool body_of_200_only, FeedAll feed_all) {
  CHttpReplyReader reader(body_of_200_only);
  CHttpReplyReader::Progress progress = feed_all(reader);
  if (progress == CHttpReplyReader::Progress::kNeedMore) progress = reader.EndOfStream();
  return {progress, reader.Status(), reader.FirstLine()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using zelquo::fuzz::Require;
  if (size == 0) return 0;
  const bool body_of_200_only = (data[0] & 0x80) != 0;
  const std::string_view reply(reinterpret_cast<const char*>(data) + 1, size - 1);

  const Reading whole = ReadReply(body_of_200_only, [&](CHttpReplyReader& reader) { return reader.Feed(reply); });
  const Reading pieces = ReadReply(body_of_200_only, [&](CHttpReplyReader& reader) {
    auto progress = CHttpReplyReader::Progress::kNeedMore;
    zelquo::fuzz::FeedInPieces(reply, data[0] & 0x7f, [&](std::string_view piece) {
      progress = reader.Feed(piece);
      return progress != CHttpReplyReader::Progress::kNeedMore;
    });
    return progress;
  });

  Require(whole.progress == pieces.progress, "how reading ends does not depend on the pieces");
  if (whole.progress != CHttpReplyReader::Progress::kDone) return 0;
  Require(whole.status == pieces.status && whole.line == pieces.line, "the answer does not depend on the pieces");
  Require(whole.status >= 200 && whole.status <= 999, "a final status is reported");
  Require(whole.line.find_first_of("\r\n") == std::string::npos, "the line holds no line break");
  Require(whole.line.size() <= zelquo::kMaxFirstLineLength, "the line is capped");
  if (body_of_200_only && whole.status != 200) Require(whole.line.empty(), "only a 200 body is read");
  return 0;
}
