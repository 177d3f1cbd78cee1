// Windows form of the settings path: derived from the lower-cased program path.
#include "settings/settings_path.h"

#include <windows.h>

#include "platform/module_path.h"
#include "program_identity.h"

namespace zelquo {

std::string GetSettingsPath() {
  return BuildSettingsPathFromModulePath(platform::GetModuleFilePath(), kProgramFileName);
}

namespace detail {

std::string LowerCaseProgramPath(std::string path) {
  // CharLowerBuffA walks the text by the ANSI code page: in Shift-JIS, for one, the trail byte of
  // a double-byte character may be 0x41-0x5A and must stay as it is.
  if (!path.empty()) CharLowerBuffA(path.data(), static_cast<DWORD>(path.size()));
  return path;
}

}  // namespace detail

}  // namespace zelquo
