// The service manager and event log calls of the host on Windows (advapi32).
#include "host/service_system.h"

#include <windows.h>

#include <vector>

#include "host/service_host.h"

namespace zelquo::service {
namespace {

void WINAPI ControlHandler(DWORD control) {
  if (CServiceHost* host = CServiceHost::Current()) host->Handler(control);
}

SystemHandle RegisterControlHandlerCall(const std::string& service_name) {
  return RegisterServiceCtrlHandlerA(service_name.c_str(), &ControlHandler);
}

bool SetStatusCall(SystemHandle status_handle, const ServiceStatusReport& report) {
  if (status_handle == nullptr) return false;
  SERVICE_STATUS status{
      .dwServiceType = report.service_type,
      .dwCurrentState = report.current_state,
      .dwControlsAccepted = report.controls_accepted,
      .dwWin32ExitCode = report.win32_exit_code,
      .dwServiceSpecificExitCode = report.service_exit_code,
      .dwCheckPoint = report.checkpoint,
      .dwWaitHint = report.wait_hint,
  };
  return SetServiceStatus(static_cast<SERVICE_STATUS_HANDLE>(status_handle), &status) != FALSE;
}

SystemHandle RegisterEventSourceCall(const std::string& source_name) {
  return RegisterEventSourceA(nullptr, source_name.c_str());
}

void DeregisterEventSourceCall(SystemHandle event_source) { DeregisterEventSource(event_source); }

// The security identifier of the account the process runs as; empty when it cannot be found.
std::vector<BYTE> ProcessUserSid() {
  char user[257];
  DWORD user_size = sizeof user;
  if (!GetUserNameA(user, &user_size)) return {};
  DWORD sid_size = 0;
  DWORD domain_size = 0;
  SID_NAME_USE use{};
  LookupAccountNameA(nullptr, user, nullptr, &sid_size, nullptr, &domain_size, &use);
  if (sid_size == 0) return {};
  std::vector<BYTE> sid(sid_size);
  std::vector<char> domain(domain_size + 1);
  if (!LookupAccountNameA(nullptr, user, sid.data(), &sid_size, domain.data(), &domain_size, &use)) return {};
  return sid;
}

bool ReportEventCall(SystemHandle event_source, EventType type, std::uint32_t event_id, const std::string& text) {
  std::vector<BYTE> sid = ProcessUserSid();
  const char* strings[] = {text.c_str()};
  return ReportEventA(event_source, static_cast<WORD>(type), 0, event_id, sid.empty() ? nullptr : sid.data(), 1, 0,
                      strings, nullptr) != FALSE;
}

}  // namespace

ServiceSystemCalls SystemServiceCalls() {
  return ServiceSystemCalls{
      .register_control_handler = &RegisterControlHandlerCall,
      .set_status = &SetStatusCall,
      .register_event_source = &RegisterEventSourceCall,
      .deregister_event_source = &DeregisterEventSourceCall,
      .report_event = &ReportEventCall,
  };
}

}  // namespace zelquo::service
