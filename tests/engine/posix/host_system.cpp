// The POSIX build never runs under Wine.
#include "host_system.h"

namespace zelquo::testing {

bool RunningUnderWine() { return false; }

}  // namespace zelquo::testing
