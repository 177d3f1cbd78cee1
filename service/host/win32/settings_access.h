// Who may change the settings file beside the programs, as access lists the service's install
// step applies. Judging an existing file's access list is left to CommandFileRefusal.
#pragma once

#include <string>

namespace zelquo::service::win32 {

// Everybody may read the file; SYSTEM and the administrators may do anything with it; members of
// Users may also rewrite its contents, so that the tray program, run as an ordinary user, can
// save the account and pages. They may not delete it, rename it or change its permissions, and
// the folder keeps the access list it inherits (Users read and run, nothing more). Because users
// can change the file, the service refuses the custom command it names.
inline constexpr char kSharedSettingsAccess[] = "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x12019f;;;BU)";

// Everybody may read the file; only SYSTEM and the administrators may change it. The service then
// runs the custom command, and only an elevated tray program can save the settings.
inline constexpr char kLockedSettingsAccess[] = "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)";

// Creates an empty settings file at path with the access list in sddl. A file that is already
// there, its contents and access list, is left as it is, so a reinstall or an upgrade keeps both.
// True when the file was created; false when it existed or could not be created.
bool CreateSettingsFile(const std::string& path, const char* sddl = kSharedSettingsAccess);

}  // namespace zelquo::service::win32
