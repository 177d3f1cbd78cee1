// Tests that need network namespaces run only when a script under tests/netns/ has built them and
// names its scenario in ZELQUO_NETNS; elsewhere they skip with a message saying where they run.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

namespace zelquo::testing {

inline std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// True when the running script asked for this scenario.
inline bool InNetnsScenario(std::string_view scenario) { return Environment("ZELQUO_NETNS") == scenario; }

}  // namespace zelquo::testing
