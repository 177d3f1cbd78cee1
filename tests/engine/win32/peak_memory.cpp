// The peak working set, which is what Windows (and Wine, from the host's resident set) reports
// as the process's peak resident memory.
#include <windows.h>
#include <psapi.h>

#include "call_cost.h"

namespace zelquo::testing {

std::uint64_t PeakResidentBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.PeakWorkingSetSize;
}

}  // namespace zelquo::testing
