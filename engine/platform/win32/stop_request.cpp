// The stop request as a flag. The Windows waits (WinINet's, the command interpreter's) do not
// watch it; the service's own waits watch its keep-running flag.
#include "platform/stop_request.h"

#include <atomic>

namespace zelquo::platform {
namespace {
std::atomic<bool> g_stop_requested{false};
}  // namespace

void RequestStop() { g_stop_requested = true; }
bool StopRequested() { return g_stop_requested; }

namespace detail {
void WithdrawStopRequestForTest() { g_stop_requested = false; }
}  // namespace detail

}  // namespace zelquo::platform
