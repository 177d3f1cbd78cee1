// The value that starts the tray program at logon. Windows keeps it under the machine's Run key;
// other platforms have no such value and report failure.
#pragma once

#include <string_view>

namespace zelquo::platform {

inline constexpr char kAutorunKeyPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// Sets the REG_SZ value name to data under HKEY_LOCAL_MACHINE\kAutorunKeyPath. False when the key
// cannot be opened for writing (usually missing administrator rights); nothing is written then.
[[nodiscard]] bool SetAutorunValue(std::string_view name, std::string_view data);

}  // namespace zelquo::platform
