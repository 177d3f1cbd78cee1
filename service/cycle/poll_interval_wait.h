// The wait between passes of the update loop and after a skipped name. The service ends its wait
// when it is told to stop; the tray program ends it when a fresh update is requested.
#pragma once

namespace zelquo {

class PollIntervalWait {
 public:
  virtual ~PollIntervalWait() = default;
  // Waits at most seconds (0 or less: returns at once); may return early.
  virtual void Wait(int seconds) = 0;
};

}  // namespace zelquo
