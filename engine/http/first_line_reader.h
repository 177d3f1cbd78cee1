// Collects the first line of a body as it arrives in pieces: bytes up to the first line feed,
// with every carriage return left out.
#pragma once

#include <string>
#include <string_view>

namespace zelquo {

class CFirstLineReader {
 public:
  // Takes the next piece of the body; returns true once the line is complete (a line feed seen),
  // after which the rest of the body need not be read.
  bool Feed(std::string_view piece) {
    for (const char c : piece) {
      if (c == '\n') return complete_ = true;
      if (c != '\r') line_.push_back(c);
    }
    return false;
  }

  [[nodiscard]] bool Complete() const { return complete_; }
  [[nodiscard]] const std::string& Line() const { return line_; }

 private:
  std::string line_;
  bool complete_ = false;
};

}  // namespace zelquo
