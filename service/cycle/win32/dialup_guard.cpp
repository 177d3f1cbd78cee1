#include "cycle/dialup_guard.h"

#include <windows.h>

namespace zelquo {

namespace {

constexpr char kInternetSettingsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr char kEnableAutodial[] = "EnableAutodial";

// Owns the Internet Settings key for one guard operation.
class CInternetSettingsKey {
 public:
  CInternetSettingsKey() {
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettingsKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_) !=
        ERROR_SUCCESS) {
      key_ = nullptr;
    }
  }
  CInternetSettingsKey(const CInternetSettingsKey&) = delete;
  CInternetSettingsKey& operator=(const CInternetSettingsKey&) = delete;
  ~CInternetSettingsKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  [[nodiscard]] HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

CDialUpGuard::CDialUpGuard() {
  const CInternetSettingsKey key;
  if (key.Get() == nullptr) return;
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExA(key.Get(), kEnableAutodial, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      value == 0) {
    return;
  }
  // Written back with the type and size it was read with.
  const DWORD off = 0;
  switched_off_ = RegSetValueExA(key.Get(), kEnableAutodial, 0, type, reinterpret_cast<const BYTE*>(&off), size) ==
                  ERROR_SUCCESS;
}

CDialUpGuard::~CDialUpGuard() {
  if (!switched_off_) return;
  const CInternetSettingsKey key;
  if (key.Get() == nullptr) return;
  const DWORD on = 1;
  RegSetValueExA(key.Get(), kEnableAutodial, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
}

}  // namespace zelquo
