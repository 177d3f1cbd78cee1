// Low-level access to one key of one section of an INI file. Windows uses the system's profile
// functions; POSIX uses the project's own INI store with the same semantics. Everything about
// which keys exist and what they mean is left to settings.h.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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
// On POSIX a failed write leaves errno saying why.
bool ProfileWriteText(const std::string& path, std::string_view section, std::string_view key,
                      std::string_view value);

// The names of the keys of section, in file order (empty when the section or the file is absent).
[[nodiscard]] std::vector<std::string> ProfileKeyNames(const std::string& path, std::string_view section);

// One section of the file as an edit sees it.
class CProfileSection {
 public:
  virtual ~CProfileSection() = default;
  [[nodiscard]] virtual std::string ReadText(std::string_view key, std::string_view def) const = 0;
  [[nodiscard]] virtual int ReadInt(std::string_view key, int def) const = 0;
  [[nodiscard]] virtual std::vector<std::string> KeyNames() const = 0;
};

// Hands the section to read, which may read several keys of one version of the file: on POSIX
// the file is read once, so a change that another writer makes meanwhile is seen whole or not at
// all. The Windows profile functions read each key afresh.
void ProfileReadSection(const std::string& path, std::string_view section,
                        const std::function<void(const CProfileSection&)>& read);

// Key and value pairs to store, in order; a later write of a key wins.
using ProfileWrites = std::vector<std::pair<std::string, std::string>>;

// How long a writer waits for another writer of the same file before it gives up.
inline constexpr std::chrono::milliseconds kProfileLockTimeout{5000};

// Hands the section as it is to edit and stores the writes edit returns. On POSIX the edit runs
// under the file's write lock and every write lands in one replacement of the file, so no reader
// sees part of the change and no other writer's change comes between the reads and the writes;
// a lock not had within lock_timeout fails the change. The Windows profile functions offer no
// lock: there the writes are made one by one. No writes (an empty list) leave the file as it
// was and succeed. False when the file could not be written; the old file is then left as it was.
bool ProfileEditSection(const std::string& path, std::string_view section,
                        const std::function<ProfileWrites(const CProfileSection&)>& edit,
                        std::chrono::milliseconds lock_timeout = kProfileLockTimeout);

}  // namespace zelquo::platform
