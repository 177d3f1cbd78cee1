// Where the shared settings file lives, beside the programs.
#pragma once

#include <string>
#include <string_view>

namespace zelquo {

inline constexpr char kSettingsFileName[] = "ZelquoIUC.ini";

// The program path as the Windows programs use it to find files beside the program: the whole
// path (at most MAX_PATH characters) lower-cased, every occurrence of the program's own
// (lower-case) file name removed. What is left ends with the folder's separator.
[[nodiscard]] std::string ProgramFolderFromModulePath(std::string_view module_path,
                                                      std::string_view program_file_name);

// The settings path as the Windows programs form it: the whole program path lower-cased, every
// occurrence of the program's own (lower-case) file name removed, then kSettingsFileName
// appended. A copy of a program under another name therefore looks for "<its own path>ZelquoIUC.ini".
[[nodiscard]] std::string BuildSettingsPathFromModulePath(std::string_view module_path,
                                                          std::string_view program_file_name);

namespace detail {
// The path lower-cased as the Windows programs do it: on Windows by the system, in the ANSI code
// page, so that the trail byte of a double-byte character is never taken for a letter; elsewhere
// the ASCII letters only.
[[nodiscard]] std::string LowerCaseProgramPath(std::string path);
}  // namespace detail

// The settings path of the running program, built afresh on every call. On Windows this is
// BuildSettingsPathFromModulePath of the program file; on POSIX it is the program's folder
// (kept as it is, since the file system there is case-sensitive) plus kSettingsFileName.
[[nodiscard]] std::string GetSettingsPath();

}  // namespace zelquo
