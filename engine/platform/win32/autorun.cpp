#include "platform/autorun.h"

#include <windows.h>

#include <string>

namespace zelquo::platform {

bool SetAutorunValue(std::string_view name, std::string_view data) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAutorunKeyPath, 0, KEY_WRITE, &key) != ERROR_SUCCESS) {
    return false;
  }
  const std::string text(data);
  // The stored data includes the terminating NUL.
  RegSetValueExA(key, std::string(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
  return true;
}

}  // namespace zelquo::platform
