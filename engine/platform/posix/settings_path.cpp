// POSIX form of the settings path: the program's own folder, exactly as the system names it.
// The Windows rule's lower-casing is kept to ASCII letters here, since no code page is known.
#include "settings/settings_path.h"

#include "platform/module_path.h"

namespace zelquo {

std::string GetSettingsPath() {
  const std::string program = platform::GetModuleFilePath();
  const auto slash = program.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string("./") : program.substr(0, slash + 1);
  return folder + kSettingsFileName;
}

namespace detail {

std::string LowerCaseProgramPath(std::string path) {
  for (char& c : path) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return path;
}

}  // namespace detail

}  // namespace zelquo
