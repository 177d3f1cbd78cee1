// Windows settings store: the system's private profile functions, one call per access.
#include "platform/profile_store.h"

#include <windows.h>

namespace zelquo::platform {

std::string ProfileReadText(const std::string& path, std::string_view section, std::string_view key,
                            std::string_view def) {
  char buffer[kProfileTextBufferSize] = {};
  const DWORD length =
      GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                               std::string(def).c_str(), buffer, kProfileTextBufferSize, path.c_str());
  return std::string(buffer, length < kProfileTextBufferSize ? length : kProfileTextBufferSize - 1);
}

int ProfileReadInt(const std::string& path, std::string_view section, std::string_view key, int def) {
  return static_cast<int>(GetPrivateProfileIntA(std::string(section).c_str(), std::string(key).c_str(),
                                                def, path.c_str()));
}

bool ProfileWriteText(const std::string& path, std::string_view section, std::string_view key,
                      std::string_view value) {
  return WritePrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                    std::string(value).c_str(), path.c_str()) != FALSE;
}

}  // namespace zelquo::platform
