// The program's request to stop, made once for good by the service's stop control. Waits that
// could hold a stop up (an HTTP exchange, an echo of the route trace, the custom command) end
// as soon as it is made, as though their time-outs had passed; the callers then unwind as they
// do after a time-out. Nothing withdraws the request, except a test's reset.
#pragma once

namespace zelquo::platform {

// Safe to call from any thread; called again, it changes nothing.
void RequestStop();
[[nodiscard]] bool StopRequested();

namespace detail {
// Withdraws the request, for tests that make one and then go on exchanging in the same process.
void WithdrawStopRequestForTest();
}  // namespace detail

}  // namespace zelquo::platform
