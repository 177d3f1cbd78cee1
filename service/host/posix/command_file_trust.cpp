// CommandFileRefusal on POSIX: the settings file, its folder and every folder above it (whoever
// may rename one of those may put another file in its place), with symbolic links resolved.
#include "host/command_file_trust.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host/posix/file_mode_trust.h"

namespace zelquo::service {

namespace posix {

std::optional<std::string> FileStatusProblem(const FileStatus& status, uid_t service_uid) {
  if (status.owner != 0 && status.owner != service_uid) return "owned by uid " + std::to_string(status.owner);
  const bool sticky_folder = S_ISDIR(status.mode) && (status.mode & S_ISVTX) != 0;
  if (sticky_folder) return std::nullopt;
  if ((status.mode & S_IWGRP) != 0) return std::string("writable by its group");
  if ((status.mode & S_IWOTH) != 0) return std::string("writable by all users");
  return std::nullopt;
}

}  // namespace posix

namespace {

std::string Refusal(const std::string& path, const std::string& problem) {
  return "\"" + path + "\" may be changed by users other than root (" + problem + ").";
}

}  // namespace

std::optional<std::string> CommandFileRefusal(const std::string& settings_path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(settings_path.c_str(), nullptr), &std::free);
  if (!resolved) {
    return "\"" + settings_path + "\" cannot be examined (" + std::strerror(errno) + ").";
  }
  const uid_t service_uid = geteuid();
  std::string path = resolved.get();
  for (;;) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0) {
      return "\"" + path + "\" cannot be examined (" + std::strerror(errno) + ").";
    }
    if (auto problem = posix::FileStatusProblem({status.st_uid, status.st_mode}, service_uid)) {
      return Refusal(path, *problem);
    }
    if (path == "/") return std::nullopt;
    const auto slash = path.find_last_of('/');
    path = slash == 0 ? "/" : path.substr(0, slash);
  }
}

}  // namespace zelquo::service
