// The status lock of the service host: a mutex (critical sections are a Windows notion; a
// recursive mutex keeps their re-entry by the owning thread).
#pragma once

#include <mutex>

namespace zelquo::service {

class CStatusLock {
 public:
  CStatusLock() = default;
  CStatusLock(const CStatusLock&) = delete;
  CStatusLock& operator=(const CStatusLock&) = delete;

  class Hold {
   public:
    explicit Hold(CStatusLock& lock) : hold_(lock.mutex_) {}

   private:
    std::lock_guard<std::recursive_mutex> hold_;
  };

 private:
  std::recursive_mutex mutex_;
};

}  // namespace zelquo::service
