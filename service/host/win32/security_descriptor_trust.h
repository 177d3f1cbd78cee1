// The Windows rule behind CommandFileRefusal: which security descriptors let somebody other
// than the administrators and the service's own account change a file or folder.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace zelquo::service::win32 {

// Nothing when the descriptor's owner is trusted and no allow entry that applies to the object
// itself grants a right to change it (write or append data, add files or folders, delete it or
// its children, change its permissions or owner) to anybody else. Trusted are SYSTEM, the
// Administrators group, TrustedInstaller, CREATOR OWNER and own_user (nullptr: nobody more).
// A missing access list lets everybody do everything. Otherwise the reason, naming the SID.
[[nodiscard]] std::optional<std::string> SecurityDescriptorProblem(PSECURITY_DESCRIPTOR descriptor, PSID own_user);

}  // namespace zelquo::service::win32
