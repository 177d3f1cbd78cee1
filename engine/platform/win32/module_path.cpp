#include "platform/module_path.h"

#include <windows.h>

namespace zelquo::platform {

std::string GetModuleFilePath() {
  char buffer[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return std::string(buffer, length < MAX_PATH ? length : MAX_PATH - 1);
}

std::string GetProgramAppName() {
  std::string name = GetModuleFilePath();
  if (const auto sep = name.find_last_of("\\/"); sep != std::string::npos) name.erase(0, sep + 1);
  if (const auto dot = name.rfind('.'); dot != std::string::npos) name.erase(dot);
  return name;
}

}  // namespace zelquo::platform
