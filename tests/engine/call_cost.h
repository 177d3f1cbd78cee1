// What one call costs: how long it took and how far it raised the process's peak memory. For
// tests that check a read stays bounded when a peer never stops sending.
#pragma once

#include <chrono>
#include <cstdint>
#include <iostream>
#include <string_view>

namespace zelquo::testing {

// The process's peak resident memory so far, in bytes; 0 when the system does not tell.
[[nodiscard]] std::uint64_t PeakResidentBytes();

struct CallCost {
  std::chrono::steady_clock::duration took{};
  std::uint64_t peak_growth = 0;  // bytes
};

// Runs `call` and prints its figures under `what`, so a slow machine's margins can be read off
// the test log.
template <class Call>
CallCost MeasureCall(std::string_view what, Call&& call) {
  const std::uint64_t peak_before = PeakResidentBytes();
  const auto start = std::chrono::steady_clock::now();
  call();
  CallCost cost;
  cost.took = std::chrono::steady_clock::now() - start;
  const std::uint64_t peak_after = PeakResidentBytes();
  cost.peak_growth = peak_after > peak_before ? peak_after - peak_before : 0;
  std::cout << "[  cost    ] " << what << ": "
            << std::chrono::duration_cast<std::chrono::milliseconds>(cost.took).count() << " ms, peak memory +"
            << cost.peak_growth / 1024 << " KiB\n";
  return cost;
}

}  // namespace zelquo::testing
