// The dial-up guard on Windows. The key stays open from the switch to the restore, so that the
// restore cannot fail to open it and leave automatic dial-up off for good, and the value is put
// back with the type and bytes it was read with. Only a number is switched: a REG_DWORD, or the
// four bytes of a REG_BINARY that some tools write; any other type is left alone. The live
// guards are known to RestoreDialUpForExit, which may restore them from another thread.
#include "cycle/dialup_guard.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

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
    PutBack();
    RegCloseKey(key);
  }
  void PutBack() {
    if (std::exchange(put_back, true)) return;
    RegSetValueExA(key, kEnableAutodial, 0, type, original.data(), static_cast<DWORD>(original.size()));
  }

  HKEY key = nullptr;  // owned
  DWORD type = REG_NONE;
  std::array<BYTE, sizeof(DWORD)> original{};
  bool put_back = false;
};

namespace {

// The guards that switched the setting off and have not put it back, under one lock with the
// switching itself, so that an exit cannot come between a switch and its registration.
struct LiveGuards {
  std::mutex lock;
  std::vector<CDialUpGuard::Restore*> restores;
  bool exiting = false;
};

LiveGuards& Live() {
  static LiveGuards* const live = new LiveGuards;  // never destroyed: guards may outlive statics
  return *live;
}

}  // namespace

void RestoreDialUpForExit() {
  LiveGuards& live = Live();
  const std::lock_guard guard(live.lock);
  live.exiting = true;
  for (CDialUpGuard::Restore* restore : live.restores) restore->PutBack();
}

CDialUpGuard::CDialUpGuard() {
  LiveGuards& live = Live();
  const std::lock_guard guard(live.lock);
  if (live.exiting) return;
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
  live.restores.push_back(restore_.get());
}

CDialUpGuard::~CDialUpGuard() {
  if (!restore_) return;
  LiveGuards& live = Live();
  const std::lock_guard guard(live.lock);
  std::erase(live.restores, restore_.get());
  restore_.reset();
}

}  // namespace zelquo
