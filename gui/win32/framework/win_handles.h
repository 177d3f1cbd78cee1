// Owners for the Win32 handles the window layer creates: each closes its handle once, when it
// goes. Windows are not here: a window belongs to its parent or to the object that created it.
#pragma once

#include <windows.h>

#include <utility>

namespace zelquo::win {

template <class Handle, auto Close>
class CUniqueHandle {
 public:
  CUniqueHandle() = default;
  explicit CUniqueHandle(Handle handle) : handle_(handle) {}
  ~CUniqueHandle() { Reset(); }
  CUniqueHandle(CUniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  CUniqueHandle& operator=(CUniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  CUniqueHandle(const CUniqueHandle&) = delete;
  CUniqueHandle& operator=(const CUniqueHandle&) = delete;

  [[nodiscard]] Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Reset() {
    if (handle_) Close(handle_);
    handle_ = nullptr;
  }

 private:
  Handle handle_ = nullptr;
};

// A kernel handle (a thread, say); CloseHandle.
using CKernelHandle = CUniqueHandle<HANDLE, &::CloseHandle>;
// A menu loaded from a resource; DestroyMenu frees it with its pop-ups.
using CMenuHandle = CUniqueHandle<HMENU, &::DestroyMenu>;

}  // namespace zelquo::win
