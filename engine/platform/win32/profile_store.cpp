// Windows settings store: the system's private profile functions, one call per access. They take
// no lock a caller could hold across calls, so an edit of several keys is made key by key.
#include "platform/profile_store.h"

#include <windows.h>

namespace zelquo::platform {

std::string ProfileReadText(const std::string& path, std::string_view section, std::string_view key,
                            std::string_view def) {
  char buffer[kProfileTextBufferSize] = {};
  const DWORD length =
      GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                               std::string(def).c_str(), buffer, kProfileTextBufferSize, path.c_str());
  return std::string(buffer, length < kProfileTextBufferSize ? length : kProfileTextBufferSize - 1);
}

int ProfileReadInt(const std::string& path, std::string_view section, std::string_view key, int def) {
  return static_cast<int>(GetPrivateProfileIntA(std::string(section).c_str(), std::string(key).c_str(),
                                                def, path.c_str()));
}

bool ProfileWriteText(const std::string& path, std::string_view section, std::string_view key,
                      std::string_view value) {
  return WritePrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                    std::string(value).c_str(), path.c_str()) != FALSE;
}

std::vector<std::string> ProfileKeyNames(const std::string& path, std::string_view section) {
  // Without a key name the call lists the section's key names, each ended by a NUL; a list cut
  // short for want of room comes back with a length of the buffer's size less two.
  std::vector<char> buffer(4096);
  DWORD length = 0;
  for (;;) {
    length = GetPrivateProfileStringA(std::string(section).c_str(), nullptr, "", buffer.data(),
                                      static_cast<DWORD>(buffer.size()), path.c_str());
    if (length + 2 < buffer.size() || buffer.size() >= (1u << 26)) break;
    buffer.resize(buffer.size() * 4);
  }
  std::vector<std::string> names;
  for (DWORD at = 0; at < length;) {
    const std::string name(buffer.data() + at);
    at += static_cast<DWORD>(name.size()) + 1;
    if (!name.empty()) names.push_back(name);
  }
  return names;
}

namespace {

class CProfileFileSection final : public CProfileSection {
 public:
  CProfileFileSection(const std::string& path, std::string_view section) : path_(path), section_(section) {}
  [[nodiscard]] std::string ReadText(std::string_view key, std::string_view def) const override {
    return ProfileReadText(path_, section_, key, def);
  }
  [[nodiscard]] int ReadInt(std::string_view key, int def) const override {
    return ProfileReadInt(path_, section_, key, def);
  }
  [[nodiscard]] std::vector<std::string> KeyNames() const override { return ProfileKeyNames(path_, section_); }

 private:
  const std::string& path_;
  std::string_view section_;
};

}  // namespace

void ProfileReadSection(const std::string& path, std::string_view section,
                        const std::function<void(const CProfileSection&)>& read) {
  read(CProfileFileSection(path, section));
}

bool ProfileEditSection(const std::string& path, std::string_view section,
                        const std::function<ProfileWrites(const CProfileSection&)>& edit,
                        std::chrono::milliseconds /*lock_timeout*/) {
  bool ok = true;
  for (const auto& [key, value] : edit(CProfileFileSection(path, section))) {
    ok = ProfileWriteText(path, section, key, value) && ok;
  }
  return ok;
}

}  // namespace zelquo::platform
