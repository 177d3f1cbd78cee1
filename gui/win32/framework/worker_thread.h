// Worker threads that receive an object: BeginWorkerThread hands a CThread to a worker function
// as its only parameter, and the function asks FromParameter whether that parameter really is a
// live object of the class it expects before it touches it.
#pragma once

namespace zelquo::win {

class CThread {
 public:
  CThread();
  virtual ~CThread();
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;

  // The parameter as a T when it is a live CThread of class T (or derived from it), else null.
  // Anything else, a null pointer included, is never dereferenced.
  template <class T>
  [[nodiscard]] static T* FromParameter(void* parameter) {
    return IsLive(parameter) ? dynamic_cast<T*>(static_cast<CThread*>(parameter)) : nullptr;
  }

 private:
  [[nodiscard]] static bool IsLive(const void* parameter);
};

using WorkerFunction = unsigned(__stdcall*)(void* parameter);

// Starts function(object) on a new thread with normal priority and the default stack size,
// running at once. False when the thread could not be created.
[[nodiscard]] bool BeginWorkerThread(WorkerFunction function, CThread* object);

}  // namespace zelquo::win
