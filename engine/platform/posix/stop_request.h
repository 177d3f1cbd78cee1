// The program's request to stop, made once for good by the daemon's stop signal. Waits that
// could hold a stop up (an HTTP exchange, a name look-up, an echo of the route trace, the raw IP
// check, the custom command) end as soon as it is made, as though their time-outs had passed;
// the callers then unwind as they do after a time-out. Nothing withdraws the request, except a
// test's reset. The Windows service ends its loop through its keep-running flag instead.
#pragma once

namespace zelquo::platform {

// Safe to call from any thread (not from a signal handler); called again, it changes nothing.
void RequestStop();
[[nodiscard]] bool StopRequested();

// Readable (POLLIN) from the moment the stop is requested, so that a wait can watch it beside
// its own descriptors; -1 when no descriptor could be made, which leaves waits to their
// time-outs. Owned by this module for the life of the process.
[[nodiscard]] int StopRequestFd();

namespace detail {
// Withdraws the request, for tests that make one and then go on in the same process.
void WithdrawStopRequestForTest();
}  // namespace detail

}  // namespace zelquo::platform
