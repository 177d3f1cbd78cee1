// Between the POSIX dispatcher and the system calls of the host: whether the signal dispatcher
// is running, so that registering the control handler succeeds only under it.
#pragma once

namespace zelquo::service::posix {

[[nodiscard]] bool SignalDispatcherRunning();

}  // namespace zelquo::service::posix
