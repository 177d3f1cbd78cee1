// Ownership of one POSIX file descriptor (file, folder or socket): closed when the owner ends.
#pragma once

#include <unistd.h>

#include <utility>

namespace zelquo::platform {

class CUniqueFd {
 public:
  CUniqueFd() = default;
  explicit CUniqueFd(int fd) : fd_(fd) {}
  CUniqueFd(const CUniqueFd&) = delete;
  CUniqueFd& operator=(const CUniqueFd&) = delete;
  ~CUniqueFd() { Reset(); }

  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Gives up ownership; the caller closes the descriptor.
  int Release() { return std::exchange(fd_, -1); }
  [[nodiscard]] int Get() const { return fd_; }
  [[nodiscard]] bool Valid() const { return fd_ >= 0; }
  explicit operator bool() const { return Valid(); }

 private:
  int fd_ = -1;
};

}  // namespace zelquo::platform
