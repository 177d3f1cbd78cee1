#include "platform/module_path.h"

#include <unistd.h>

#include <climits>

namespace zelquo::platform {

std::string GetModuleFilePath() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length <= 0) return {};
  return std::string(buffer, static_cast<std::size_t>(length));
}

std::string GetProgramAppName() {
  std::string name = GetModuleFilePath();
  if (const auto sep = name.rfind('/'); sep != std::string::npos) name.erase(0, sep + 1);
  return name;
}

}  // namespace zelquo::platform
