// The dial-up guard on Windows. The key stays open from the switch to the restore, so that the
// restore cannot fail to open it and leave automatic dial-up off for good, and the value is put
// back with the type and bytes it was read with. Only a number is switched: a REG_DWORD, or the
// four bytes of a REG_BINARY that some tools write; any other type is left alone.
#include "cycle/dialup_guard.h"

#include <windows.h>

#include <array>
#include <cstring>

namespace zelquo {

namespace {

constexpr char kInternetSettingsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr char kEnableAutodial[] = "EnableAutodial";

}  // namespace

struct CDialUpGuard::Restore {
  Restore() = default;
  Restore(const Restore&) = delete;
  Restore& operator=(const Restore&) = delete;
  ~Restore() {
    RegSetValueExA(key, kEnableAutodial, 0, type, original.data(), static_cast<DWORD>(original.size()));
    RegCloseKey(key);
  }

  HKEY key = nullptr;  // owned
  DWORD type = REG_NONE;
  std::array<BYTE, sizeof(DWORD)> original{};
};

CDialUpGuard::CDialUpGuard() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettingsKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) !=
      ERROR_SUCCESS) {
    return;
  }
  DWORD type = REG_NONE;
  std::array<BYTE, sizeof(DWORD)> value{};
  DWORD size = static_cast<DWORD>(value.size());
  const bool is_number =
      RegQueryValueExA(key, kEnableAutodial, nullptr, &type, value.data(), &size) == ERROR_SUCCESS &&
      size == value.size() && (type == REG_DWORD || type == REG_BINARY);
  DWORD number = 0;
  std::memcpy(&number, value.data(), sizeof number);
  const std::array<BYTE, sizeof(DWORD)> off{};
  if (!is_number || number == 0 ||
      RegSetValueExA(key, kEnableAutodial, 0, type, off.data(), static_cast<DWORD>(off.size())) != ERROR_SUCCESS) {
    RegCloseKey(key);
    return;
  }
  restore_ = std::make_unique<Restore>();
  restore_->key = key;
  restore_->type = type;
  restore_->original = value;
}

CDialUpGuard::~CDialUpGuard() = default;

}  // namespace zelquo
