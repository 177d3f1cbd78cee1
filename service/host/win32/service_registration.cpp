// Installs and removes the service and its event source in the Windows registry and service
// control manager. Install fails silently; Uninstall logs each failure with the system's code.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "host/event_source_list.h"
#include "host/service_host.h"
#include "host/win32/settings_access.h"
#include "settings/settings_path.h"

namespace zelquo::service {
namespace {

constexpr char kApplicationLogKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
constexpr char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services\\";
constexpr DWORD kEventTypesSupported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
constexpr REGSAM kKeyAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;

struct ServiceHandleCloser {
  void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using UniqueServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

UniqueKey OpenLocalMachineKey(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, kKeyAccess, &key) != ERROR_SUCCESS) return nullptr;
  return UniqueKey(key);
}

std::string ProgramPath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length);
}

std::string LastErrorText() { return std::to_string(GetLastError()); }

// The "Sources" list of the Application log, or nullopt when the value is missing or is not a
// multi-string (then it is left alone). Its size is the key's longest value.
std::optional<std::vector<std::string>> ReadSources(HKEY application) {
  DWORD longest_data = 0;
  if (RegQueryInfoKeyA(application, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       &longest_data, nullptr, nullptr) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::string data(longest_data, '\0');
  DWORD type = 0;
  DWORD size = longest_data;
  if (RegQueryValueExA(application, "Sources", nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
          ERROR_SUCCESS ||
      type != REG_MULTI_SZ) {
    return std::nullopt;
  }
  data.resize(size);
  return SplitMultiString(data);
}

bool WriteSources(HKEY application, const std::vector<std::string>& sources) {
  const std::string data = JoinMultiString(sources);
  return RegSetValueExA(application, "Sources", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

// Registers source with its message file; true when both values of its key were written. The
// source is added to "Sources" when that list exists and lacks it.
bool AddEventSource(const std::string& source, const std::string& message_file) {
  UniqueKey application = OpenLocalMachineKey(kApplicationLogKey);
  if (!application) return false;

  bool written = false;
  HKEY source_key = nullptr;
  if (RegCreateKeyExA(application.get(), source.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kKeyAccess, nullptr,
                      &source_key, nullptr) == ERROR_SUCCESS) {
    UniqueKey source_owner(source_key);
    if (RegSetValueExA(source_key, "EventMessageFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(message_file.c_str()),
                       static_cast<DWORD>(message_file.size() + 1)) == ERROR_SUCCESS) {
      const DWORD types = kEventTypesSupported;
      written = RegSetValueExA(source_key, "TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                               sizeof types) == ERROR_SUCCESS;
    }
  }

  if (auto sources = ReadSources(application.get())) {
    if (AppendSourceIfAbsent(*sources, source)) WriteSources(application.get(), *sources);
  }
  return written;
}

// Deletes the source's key and its entry in "Sources"; true when the key was deleted.
bool RemoveEventSource(const std::string& source) {
  UniqueKey application = OpenLocalMachineKey(kApplicationLogKey);
  if (!application) return false;
  const bool deleted = RegDeleteKeyA(application.get(), source.c_str()) == ERROR_SUCCESS;
  if (auto sources = ReadSources(application.get())) {
    if (RemoveFirstSource(*sources, source)) WriteSources(application.get(), *sources);
  }
  return deleted;
}

}  // namespace

bool CServiceHost::Install() {
  // The manager splits ImagePath into program and arguments, so a path with blanks is quoted.
  // The event viewer takes EventMessageFile as a list of module paths, where quotes would make
  // the module unloadable and every event's description missing.
  const std::string program_path = ProgramPath();
  const std::string image_path = "\"" + program_path + "\"";
  UniqueServiceHandle manager(OpenSCManagerA(nullptr, "ServicesActive", SC_MANAGER_CREATE_SERVICE));
  if (!manager) return false;
  UniqueServiceHandle created(CreateServiceA(manager.get(), ServiceName().c_str(), DisplayName().c_str(), 0,
                                             SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_IGNORE,
                                             image_path.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!created) return false;
  if (!AddEventSource(DisplayName(), program_path)) return false;

  if (!Description().empty()) {
    if (UniqueKey service_key = OpenLocalMachineKey(kServicesKey + ServiceName())) {
      RegSetValueExA(service_key.get(), "Description", 0, REG_SZ, reinterpret_cast<const BYTE*>(Description().c_str()),
                     static_cast<DWORD>(Description().size() + 1));
    }
  }
  // Users who run the tray program must be able to save their settings; an existing file keeps its list.
  win32::CreateSettingsFile(GetSettingsPath());
  LogEvent(EventType::kInformation, message_ids::kInstalled, DisplayName());
  return true;
}

bool CServiceHost::Uninstall() {
  UniqueServiceHandle manager(OpenSCManagerA(nullptr, "ServicesActive", SC_MANAGER_CONNECT));
  if (!manager) {
    LogEvent(EventType::kError, message_ids::kScmConnectFailed, LastErrorText());
    return false;
  }
  UniqueServiceHandle service(
      OpenServiceA(manager.get(), ServiceName().c_str(), DELETE | SERVICE_STOP | SERVICE_QUERY_STATUS));
  if (!service) {
    LogEvent(EventType::kError, message_ids::kServiceOpenFailed, LastErrorText());
    return false;
  }
  if (!DeleteService(service.get())) {
    LogEvent(EventType::kError, message_ids::kServiceDeleteFailed, LastErrorText());
    return false;
  }
  LogEvent(EventType::kInformation, message_ids::kUninstalled, DisplayName());
  return RemoveEventSource(DisplayName());
}

}  // namespace zelquo::service
