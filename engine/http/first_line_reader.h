// Collects the first line of a body as it arrives in pieces: bytes up to the first line feed,
// with every carriage return left out. The line is capped, so a peer that sends an endless line
// costs a bounded amount of memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zelquo {

// Far above any real answer (an address, an answer word and a host name or two).
inline constexpr std::size_t kMaxFirstLineLength = 64 * 1024;

class CFirstLineReader {
 public:
  // Takes the next piece of the body; returns true once no more need be read: the line is
  // complete (a line feed seen) or has grown past kMaxFirstLineLength (TooLong()).
  bool Feed(std::string_view piece) {
    for (const char c : piece) {
      if (c == '\n') return complete_ = true;
      if (c == '\r') continue;
      if (line_.size() == kMaxFirstLineLength) return too_long_ = true;
      line_.push_back(c);
    }
    return false;
  }

  [[nodiscard]] bool Complete() const { return complete_; }
  // The line went on past the cap; what was kept is no answer and must not be used as one.
  [[nodiscard]] bool TooLong() const { return too_long_; }
  [[nodiscard]] const std::string& Line() const { return line_; }

 private:
  std::string line_;
  bool complete_ = false;
  bool too_long_ = false;
};

}  // namespace zelquo
