// Reads an HTTP/1.x reply as it arrives, through the http_parser library (status line, headers,
// Content-Length, chunked and close-delimited bodies, interim 1xx replies), and keeps only what
// the client needs: the final status and the first line of the body.
#pragma once

#include <http_parser.h>

#include <string>
#include <string_view>

#include "http/first_line_reader.h"

namespace zelquo::platform {

class CHttpReplyReader {
 public:
  enum class Progress {
    kNeedMore,  // read on
    kDone,      // Status() and FirstLine() hold the answer; the rest of the reply is not needed
    kFailed,    // not an HTTP reply, a first line over the cap, or a reply cut short
  };

  // With body_of_200_only, a reply of another status is done once its head is read.
  explicit CHttpReplyReader(bool body_of_200_only);
  CHttpReplyReader(const CHttpReplyReader&) = delete;
  CHttpReplyReader& operator=(const CHttpReplyReader&) = delete;

  Progress Feed(std::string_view bytes);
  // The peer closed the connection: a body that ends with the connection is complete then.
  Progress EndOfStream();

  [[nodiscard]] int Status() const { return status_; }
  [[nodiscard]] const std::string& FirstLine() const { return line_.Line(); }

 private:
  static int OnHeadersComplete(http_parser* parser);
  static int OnBody(http_parser* parser, const char* data, std::size_t length);
  static int OnMessageComplete(http_parser* parser);
  Progress Execute(const char* data, std::size_t length);

  http_parser parser_{};
  http_parser_settings settings_{};
  bool body_of_200_only_;
  int status_ = 0;
  Progress progress_ = Progress::kNeedMore;
  CFirstLineReader line_;
};

}  // namespace zelquo::platform
