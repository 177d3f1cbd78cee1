// The status lock of the service host: a critical section, entered and left by CStatusLock::Hold.
#pragma once

#include <windows.h>

namespace zelquo::service {

class CStatusLock {
 public:
  CStatusLock() { InitializeCriticalSection(&section_); }
  ~CStatusLock() { DeleteCriticalSection(&section_); }
  CStatusLock(const CStatusLock&) = delete;
  CStatusLock& operator=(const CStatusLock&) = delete;

  class Hold {
   public:
    explicit Hold(CStatusLock& lock) : section_(&lock.section_) { EnterCriticalSection(section_); }
    ~Hold() { LeaveCriticalSection(section_); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    CRITICAL_SECTION* section_;
  };

 private:
  CRITICAL_SECTION section_;
};

}  // namespace zelquo::service
