#include "framework/worker_thread.h"

#include <windows.h>
#include <process.h>

#include <mutex>
#include <set>

#include "framework/win_handles.h"

namespace zelquo::win {

namespace {

// Every CThread alive in the process. Reached through a function so that it exists before the
// first CThread whatever the order of static initialisation.
struct LiveThreads {
  std::mutex lock;
  std::set<const void*> objects;
};

LiveThreads& Live() {
  static LiveThreads* live = new LiveThreads;  // never destroyed: worker threads outlive exit
  return *live;
}

}  // namespace

CThread::CThread() {
  LiveThreads& live = Live();
  const std::lock_guard guard(live.lock);
  live.objects.insert(this);
}

CThread::~CThread() {
  LiveThreads& live = Live();
  const std::lock_guard guard(live.lock);
  live.objects.erase(this);
}

bool CThread::IsLive(const void* parameter) {
  if (!parameter) return false;
  LiveThreads& live = Live();
  const std::lock_guard guard(live.lock);
  return live.objects.count(parameter) != 0;
}

bool BeginWorkerThread(WorkerFunction function, CThread* object) {
  unsigned thread_id = 0;
  const CKernelHandle thread(
      reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, function, object, 0, &thread_id)));
  return static_cast<bool>(thread);
}

}  // namespace zelquo::win
