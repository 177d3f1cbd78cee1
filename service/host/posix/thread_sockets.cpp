#include "host/thread_sockets.h"

namespace zelquo::service {

CThreadSockets::CThreadSockets() = default;
CThreadSockets::~CThreadSockets() = default;

}  // namespace zelquo::service
