// Whether this user may read or change the settings file. The settings store treats an unreadable
// file as an empty one and lets a write fail unseen; the command asks first, so that it never
// shows defaults for settings it could not read nor reports a change it could not make.
#pragma once

#include <string>

namespace zelquo::settings_cli {

// Empty when the file at path can be read (and, with for_writing, changed or created); else a
// message that names the file and the reason.
[[nodiscard]] std::string SettingsFileProblem(const std::string& path, bool for_writing);

// The message for a write to the file at path that has just failed, naming the reason the
// settings store left (in errno).
[[nodiscard]] std::string WriteFailureProblem(const std::string& path);

}  // namespace zelquo::settings_cli
