// access(2) follows a symbolic link, so a settings file linked elsewhere is judged by its target;
// a file that does not exist yet is created in its folder, which must then be writable.
#include "settings_access.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zelquo::settings_cli {

std::string SettingsFileProblem(const std::string& path, bool for_writing) {
  const int mode = for_writing ? R_OK | W_OK : R_OK;
  if (access(path.c_str(), mode) == 0) return {};
  int error = errno;
  if (error == ENOENT) {
    if (!for_writing) return {};
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    if (access(folder.c_str(), W_OK | X_OK) == 0) return {};
    error = errno;
  }
  return std::string(for_writing ? "Cannot change " : "Cannot read ") + path + ": " + std::strerror(error);
}

std::string WriteFailureProblem(const std::string& path) {
  const int error = errno;
  // The store gives up on a lock that another writer keeps for seconds.
  const std::string reason = error == EWOULDBLOCK ? "another program is changing the settings; try again"
                                                  : std::strerror(error);
  return "Cannot change " + path + ": " + reason;
}

}  // namespace zelquo::settings_cli
