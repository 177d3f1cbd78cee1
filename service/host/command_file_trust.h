// Whether the service may run the custom command named in a settings file. The service runs as
// the system's most powerful account, so a command line that ordinary users can change would be
// theirs to run with its rights: the file and its folder must be changeable by nobody but the
// administrators and the service's own account.
#pragma once

#include <optional>
#include <string>

namespace zelquo::service {

// Nothing when the command from settings_path may run; otherwise why it must not, as a sentence
// naming the file or folder and who else may change it.
[[nodiscard]] std::optional<std::string> CommandFileRefusal(const std::string& settings_path);

}  // namespace zelquo::service
