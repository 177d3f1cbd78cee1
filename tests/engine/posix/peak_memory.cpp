// The peak resident set from getrusage, which Linux reports in KiB.
#include <sys/resource.h>

#include "call_cost.h"

namespace zelquo::testing {

std::uint64_t PeakResidentBytes() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
}

}  // namespace zelquo::testing
