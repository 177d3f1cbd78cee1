// What the console utility needs running before its first request: the sockets layer on
// Windows (version 1.1); nothing on POSIX.
#pragma once

namespace zelquo::cli {

// False when it cannot start; the program then reports that and exits with code 1. The sockets
// layer's own start-up result does not count.
[[nodiscard]] bool StartConsoleFramework();

}  // namespace zelquo::cli
