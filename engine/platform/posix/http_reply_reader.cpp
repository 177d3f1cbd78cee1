#include "platform/posix/http_reply_reader.h"

namespace zelquo::platform {

namespace {

CHttpReplyReader& ReaderOf(http_parser* parser) { return *static_cast<CHttpReplyReader*>(parser->data); }

bool IsInterim(unsigned status) { return status >= 100 && status <= 199; }

}  // namespace

CHttpReplyReader::CHttpReplyReader(bool body_of_200_only) : body_of_200_only_(body_of_200_only) {
  http_parser_init(&parser_, HTTP_RESPONSE);
  parser_.data = this;
  http_parser_settings_init(&settings_);
  settings_.on_headers_complete = OnHeadersComplete;
  settings_.on_body = OnBody;
  settings_.on_message_complete = OnMessageComplete;
}

// The callbacks pause the parser once the answer is known, so that it reads nothing further.
int CHttpReplyReader::OnHeadersComplete(http_parser* parser) {
  CHttpReplyReader& reader = ReaderOf(parser);
  if (IsInterim(parser->status_code)) return 0;
  if (parser->status_code < 100) {  // the parser takes one or two digits; HTTP has three
    reader.progress_ = Progress::kFailed;
    http_parser_pause(parser, 1);
    return 0;
  }
  reader.status_ = static_cast<int>(parser->status_code);
  if (reader.body_of_200_only_ && reader.status_ != 200) {
    reader.progress_ = Progress::kDone;
    http_parser_pause(parser, 1);
  }
  return 0;
}

int CHttpReplyReader::OnBody(http_parser* parser, const char* data, std::size_t length) {
  CHttpReplyReader& reader = ReaderOf(parser);
  if (reader.status_ == 0) return 0;  // a body sent with an interim reply is no answer
  if (reader.line_.Feed(std::string_view(data, length))) {
    reader.progress_ = reader.line_.TooLong() ? Progress::kFailed : Progress::kDone;
    http_parser_pause(parser, 1);
  }
  return 0;
}

int CHttpReplyReader::OnMessageComplete(http_parser* parser) {
  CHttpReplyReader& reader = ReaderOf(parser);
  if (IsInterim(parser->status_code)) return 0;  // the final reply follows
  reader.progress_ = Progress::kDone;
  http_parser_pause(parser, 1);
  return 0;
}

CHttpReplyReader::Progress CHttpReplyReader::Execute(const char* data, std::size_t length) {
  if (progress_ != Progress::kNeedMore) return progress_;
  http_parser_execute(&parser_, &settings_, data, length);
  if (progress_ == Progress::kNeedMore && HTTP_PARSER_ERRNO(&parser_) != HPE_OK) progress_ = Progress::kFailed;
  return progress_;
}

CHttpReplyReader::Progress CHttpReplyReader::Feed(std::string_view bytes) {
  return bytes.empty() ? progress_ : Execute(bytes.data(), bytes.size());
}

CHttpReplyReader::Progress CHttpReplyReader::EndOfStream() {
  Execute(nullptr, 0);
  if (progress_ == Progress::kNeedMore) progress_ = Progress::kFailed;
  return progress_;
}

}  // namespace zelquo::platform
