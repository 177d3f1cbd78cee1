// The sockets layer's start-up for the update loop's thread (Windows Sockets 1.1), ended when
// the object goes; nothing to start on POSIX. A failed start-up is ignored: each network call
// reports its own failure.
#pragma once

namespace zelquo {

class CThreadSockets {
 public:
  CThreadSockets();
  ~CThreadSockets();
  CThreadSockets(const CThreadSockets&) = delete;
  CThreadSockets& operator=(const CThreadSockets&) = delete;

 private:
  bool started_ = false;
};

}  // namespace zelquo
