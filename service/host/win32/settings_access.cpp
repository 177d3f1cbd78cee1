// CreateSettingsFile: the file is created with its access list in one step, so there is no moment
// at which it exists with the folder's inherited list.
#include "host/win32/settings_access.h"

#include <windows.h>
#include <sddl.h>

#include <memory>

namespace zelquo::service::win32 {

bool CreateSettingsFile(const std::string& path, const char* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  std::unique_ptr<void, decltype(&LocalFree)> descriptor_owner(descriptor, &LocalFree);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

}  // namespace zelquo::service::win32
