#include "cycle/thread_sockets.h"

namespace zelquo {

CThreadSockets::CThreadSockets() = default;
CThreadSockets::~CThreadSockets() = default;

}  // namespace zelquo
