#include "platform/module_path.h"

#include <unistd.h>

#include <climits>

namespace zelquo::platform {

namespace {

std::string ReadModuleFilePath() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length <= 0) return {};
  return std::string(buffer, static_cast<std::size_t>(length));
}

}  // namespace

// Read once per process: a package upgrade that replaces the running program's file makes
// /proc/self/exe name the old file with " (deleted)" appended, which is neither the program's
// name nor a path to its folder.
std::string GetModuleFilePath() {
  static const std::string path = ReadModuleFilePath();
  return path;
}

std::string GetProgramAppName() {
  std::string name = GetModuleFilePath();
  if (const auto sep = name.rfind('/'); sep != std::string::npos) name.erase(0, sep + 1);
  return name;
}

}  // namespace zelquo::platform
