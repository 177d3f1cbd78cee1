// There is no logon Run key here; starting at logon is the job of the desktop or the init system.
#include "platform/autorun.h"

namespace zelquo::platform {

bool SetAutorunValue(std::string_view, std::string_view) { return false; }

}  // namespace zelquo::platform
