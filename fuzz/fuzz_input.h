// Splits one fuzzer input into the pieces a target needs, so that each target can take several
// texts (a section, a key and a value; the arguments of a command line) from a single buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace zelquo::fuzz {

// Stops the run with a finding when a property the target checks does not hold.
inline void Require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property violated: %s\n", property);
  std::abort();
}

// The input cut at every occurrence of separator; at most max_parts parts, the last one taking
// the rest.
inline std::vector<std::string> SplitInput(const std::uint8_t* data, std::size_t size, char separator,
                                           std::size_t max_parts) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> parts;
  std::size_t begin = 0;
  while (parts.size() + 1 < max_parts) {
    const auto end = input.find(separator, begin);
    if (end == std::string_view::npos) break;
    parts.emplace_back(input.substr(begin, end - begin));
    begin = end + 1;
  }
  parts.emplace_back(input.substr(begin));
  return parts;
}

// Feeds text to a reader in pieces whose sizes come from the text's own first byte, so that the
// fuzzer explores how a reader copes with a body that arrives split at any point.
template <typename Feed>
void FeedInPieces(std::string_view text, std::uint8_t seed, Feed&& feed) {
  std::size_t piece = seed % 7 + 1;
  while (!text.empty()) {
    const std::size_t take = piece < text.size() ? piece : text.size();
    if (feed(text.substr(0, take))) return;
    text.remove_prefix(take);
    piece = piece * 5 % 11 + 1;
  }
}

}  // namespace zelquo::fuzz
