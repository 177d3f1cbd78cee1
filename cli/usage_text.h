// The text "-help" and "/?" print.
#pragma once

#include <string>
#include <vector>

namespace zelquo::cli {

// The usage lines in order, each without its line end.
[[nodiscard]] std::vector<std::string> UsageLines();

}  // namespace zelquo::cli
