// Windows form of the settings path: derived from the lower-cased program path.
#include "settings/settings_path.h"

#include "platform/module_path.h"
#include "program_identity.h"

namespace zelquo {

std::string GetSettingsPath() {
  return BuildSettingsPathFromModulePath(platform::GetModuleFilePath(), kProgramFileName);
}

}  // namespace zelquo
