#include "service_manager.h"

namespace zelquo::gui {

namespace {

// Generic read, write, execute and all.
constexpr DWORD kManagerAccess = 0xF0000000;

}  // namespace

CServiceManager::CServiceManager() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = sizeof(name);
  if (GetComputerNameA(name, &length)) machine_name_.assign(name, length);
}

bool CServiceManager::Open() {
  if (manager_) return true;
  manager_.reset(OpenSCManagerA(machine_name_.empty() ? nullptr : machine_name_.c_str(), SERVICES_ACTIVE_DATABASEA,
                                kManagerAccess));
  if (!manager_) KeepError();
  return manager_ != nullptr;
}

DWORD CServiceManager::QueryState(const char* service_name) {
  if (!manager_) return 0;
  const UniqueServiceHandle service(OpenServiceA(manager_.get(), service_name, SERVICE_ALL_ACCESS));
  if (!service) {
    KeepError();
    return 0;
  }
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(service.get(), &status)) {
    KeepError();
    return 0;
  }
  return status.dwCurrentState;
}

void CServiceManager::KeepError() {
  last_error_ = GetLastError();
  ++error_count_;
}

}  // namespace zelquo::gui
