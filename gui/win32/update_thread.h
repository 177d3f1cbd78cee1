// The update thread: the tray update loop on a worker thread of its own for as long as the
// program runs. The object carries no data; it is the worker function's parameter.
#pragma once

#include "framework/worker_thread.h"

namespace zelquo::gui {

class CUpdateThread final : public win::CThread {
 public:
  // Runs the update loop; never returns.
  [[noreturn]] void UpdateLoop();
};

// The worker function: returns 1 at once when the parameter is not a CUpdateThread.
unsigned __stdcall UpdateThreadProc(void* parameter);

}  // namespace zelquo::gui
