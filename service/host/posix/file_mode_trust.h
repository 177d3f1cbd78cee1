// The POSIX rule behind CommandFileRefusal: an owner, a mode, and who counts as trusted.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace zelquo::service::posix {

struct FileStatus {
  uid_t owner;
  mode_t mode;  // st_mode, type bits included
};

// Nothing when only root or service_uid can change the entry: owned by one of them and
// writable by neither group nor others, except a directory with the sticky bit, where others
// cannot rename or remove what they do not own. Otherwise the reason ("owned by uid 1000", ...).
[[nodiscard]] std::optional<std::string> FileStatusProblem(const FileStatus& status, uid_t service_uid);

}  // namespace zelquo::service::posix
