// CommandFileRefusal on Windows: the security descriptors of the settings file, its folder and
// every folder above it, as the system reports them.
#include "host/command_file_trust.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <vector>

#include "host/win32/security_descriptor_trust.h"

namespace zelquo::service {

namespace win32 {
namespace {

constexpr char kTrustedInstallerSid[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// Rights that let their holder change what a file says or who may change it. For a folder the
// same bits mean add a file, add a subfolder and delete a child.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                      WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

struct LocalFreer {
  void operator()(void* memory) const { LocalFree(memory); }
};

std::string SidText(PSID sid) {
  char* text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text)) return "an unknown account";
  std::unique_ptr<char, LocalFreer> owner(text);
  return text;
}

class CTrustedSids {
 public:
  explicit CTrustedSids(PSID own_user) : own_user_(own_user) {
    for (const auto type : {WinLocalSystemSid, WinBuiltinAdministratorsSid, WinCreatorOwnerSid}) {
      std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
      DWORD size = static_cast<DWORD>(sid.size());
      if (CreateWellKnownSid(type, nullptr, sid.data(), &size)) sids_.push_back(std::move(sid));
    }
    PSID installer = nullptr;
    if (ConvertStringSidToSidA(kTrustedInstallerSid, &installer)) {
      std::unique_ptr<void, LocalFreer> owner(installer);
      const auto* bytes = static_cast<const BYTE*>(installer);
      sids_.emplace_back(bytes, bytes + GetLengthSid(installer));
    }
  }

  [[nodiscard]] bool Contains(PSID sid) const {
    if (own_user_ != nullptr && EqualSid(sid, own_user_)) return true;
    for (const auto& trusted : sids_) {
      if (EqualSid(sid, const_cast<BYTE*>(trusted.data()))) return true;
    }
    return false;
  }

 private:
  PSID own_user_;
  std::vector<std::vector<BYTE>> sids_;
};

}  // namespace

std::optional<std::string> SecurityDescriptorProblem(PSECURITY_DESCRIPTOR descriptor, PSID own_user) {
  const CTrustedSids trusted(own_user);

  PSID owner = nullptr;
  BOOL owner_defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor, &owner, &owner_defaulted)) return "its owner cannot be read";
  if (owner != nullptr && !trusted.Contains(owner)) return "it is owned by " + SidText(owner);

  BOOL present = FALSE;
  PACL dacl = nullptr;
  BOOL dacl_defaulted = FALSE;
  if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &dacl_defaulted)) {
    return "its access list cannot be read";
  }
  if (!present || dacl == nullptr) return "it has no access list, so everybody may change it";

  ACL_SIZE_INFORMATION sizes{};
  if (!GetAclInformation(dacl, &sizes, sizeof sizes, AclSizeInformation)) return "its access list cannot be read";
  for (DWORD i = 0; i < sizes.AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(dacl, i, &entry)) return "its access list cannot be read";
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
    if (header->AceType == ACCESS_DENIED_ACE_TYPE || header->AceType == ACCESS_DENIED_OBJECT_ACE_TYPE ||
        header->AceType == ACCESS_DENIED_CALLBACK_ACE_TYPE || header->AceType == SYSTEM_AUDIT_ACE_TYPE) {
      continue;
    }
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return "its access list has an entry of an unexpected kind";
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    PSID sid = &allowed->SidStart;
    if ((allowed->Mask & kChangeRights) != 0 && !trusted.Contains(sid)) return SidText(sid) + " may change it";
  }
  return std::nullopt;
}

}  // namespace win32

namespace {

std::vector<BYTE> ProcessUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  std::unique_ptr<void, decltype(&CloseHandle)> token_owner(token, &CloseHandle);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
  const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
  const auto* sid = static_cast<const BYTE*>(user->User.Sid);
  return std::vector<BYTE>(sid, sid + GetLengthSid(user->User.Sid));
}

std::optional<std::string> PathProblem(const std::string& path, PSID own_user) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error = GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT,
                                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                            nullptr, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) return "its permissions cannot be read (error " + std::to_string(error) + ")";
  std::unique_ptr<void, decltype(&LocalFree)> owner(descriptor, &LocalFree);
  return win32::SecurityDescriptorProblem(descriptor, own_user);
}

// The file, its folder and every folder above it up to the drive's root, or up to the share of
// a network path: whoever may rename one of those folders may put another file in its place.
std::vector<std::string> PathsToExamine(const std::string& settings_path) {
  std::string path = settings_path;
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(settings_path.c_str(), MAX_PATH, full, nullptr);
  if (length > 0 && length < MAX_PATH) path.assign(full, length);

  const auto is_separator = [](char c) { return c == '\\' || c == '/'; };
  // The shortest path examined: a drive's root, separator included, or a network share.
  std::size_t root_length = 0;
  if (path.size() >= 3 && path[1] == ':' && is_separator(path[2])) {
    root_length = 3;
  } else if (path.size() > 2 && is_separator(path[0]) && is_separator(path[1])) {
    const auto server_end = path.find_first_of("\\/", 2);
    const auto share_end = server_end == std::string::npos ? server_end : path.find_first_of("\\/", server_end + 1);
    root_length = share_end == std::string::npos ? path.size() : share_end;
  }

  // The file by the name it was given, its folders by their full names.
  std::vector<std::string> paths{settings_path};
  for (;;) {
    const auto separator = path.find_last_of("\\/");
    if (separator == std::string::npos) break;
    std::string parent = path.substr(0, separator == 2 && root_length == 3 ? 3 : separator);
    if (parent.size() < root_length || parent.empty() || parent == path) break;
    paths.push_back(parent);
    path = std::move(parent);
  }
  return paths;
}

}  // namespace

std::optional<std::string> CommandFileRefusal(const std::string& settings_path) {
  std::vector<BYTE> own_user = ProcessUserSid();
  PSID own_user_sid = own_user.empty() ? nullptr : own_user.data();

  for (const auto& path : PathsToExamine(settings_path)) {
    if (auto problem = PathProblem(path, own_user_sid)) {
      return "\"" + path + "\" may be changed by users who are not administrators (" + *problem + ").";
    }
  }
  return std::nullopt;
}

}  // namespace zelquo::service
