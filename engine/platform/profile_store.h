// Low-level access to one key of one section of an INI file. Windows uses the system's profile
// functions; POSIX uses the project's own INI store with the same semantics. Everything about
// which keys exist and what they mean is left to settings.h.
#pragma once

#include <string>
#include <string_view>

namespace zelquo::platform {

// Size of the buffer a text value is read into; at most kProfileTextBufferSize - 1 characters
// come back.
inline constexpr unsigned kProfileTextBufferSize = 255;

// The stored value of key in section, or def when the key (or the file) is absent.
[[nodiscard]] std::string ProfileReadText(const std::string& path, std::string_view section,
                                          std::string_view key, std::string_view def);

// The profile integer parse of the stored value, or def when the key is absent or empty.
[[nodiscard]] int ProfileReadInt(const std::string& path, std::string_view section,
                                 std::string_view key, int def);

// Stores value under key, creating the file and the section when they are missing.
// Returns false when the file could not be written; the old file is then left as it was.
bool ProfileWriteText(const std::string& path, std::string_view section, std::string_view key,
                      std::string_view value);

}  // namespace zelquo::platform
