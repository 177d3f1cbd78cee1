#include "host/account_wait_notice.h"

namespace zelquo::service::platform {

std::optional<std::string> AccountSetupCommand() { return std::nullopt; }

}  // namespace zelquo::service::platform
