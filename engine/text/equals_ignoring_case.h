// Comparison of names that ignores letter case (switches, URL schemes, host names), byte by byte
// through the C library's tolower.
#pragma once

#include <algorithm>
#include <cctype>
#include <string_view>

namespace zelquo {

[[nodiscard]] inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace zelquo
