// The POSIX side of the stop request: a descriptor that poll sees readable once the stop is
// requested, so that a wait can watch it beside its own descriptors.
#pragma once

#include "platform/stop_request.h"

namespace zelquo::platform {

// Readable (POLLIN) from the moment the stop is requested; -1 when no descriptor could be made,
// which leaves waits to their time-outs. Owned by this module for the life of the process.
[[nodiscard]] int StopRequestFd();

}  // namespace zelquo::platform
