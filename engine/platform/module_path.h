// Where the running program file lives. Windows asks GetModuleFileNameA, POSIX reads /proc/self/exe.
#pragma once

#include <string>

namespace zelquo::platform {

// Full path of the running program file; empty text when the system cannot tell.
[[nodiscard]] std::string GetModuleFilePath();

// The program's application name: its file name without folder and extension. It is the user
// agent of the HTTP requests, as an application framework would pass it.
[[nodiscard]] std::string GetProgramAppName();

}  // namespace zelquo::platform
