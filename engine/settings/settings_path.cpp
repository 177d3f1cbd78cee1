#include "settings/settings_path.h"

namespace zelquo {

std::string ProgramFolderFromModulePath(std::string_view module_path, std::string_view program_file_name) {
  // At most MAX_PATH characters come back from the system for the module path.
  std::string path = detail::LowerCaseProgramPath(std::string(module_path.substr(0, 260)));
  if (!program_file_name.empty()) {
    for (auto at = path.find(program_file_name); at != std::string::npos;
         at = path.find(program_file_name, at)) {
      path.erase(at, program_file_name.size());
    }
  }
  return path;
}

std::string BuildSettingsPathFromModulePath(std::string_view module_path,
                                            std::string_view program_file_name) {
  return ProgramFolderFromModulePath(module_path, program_file_name) + kSettingsFileName;
}

}  // namespace zelquo
