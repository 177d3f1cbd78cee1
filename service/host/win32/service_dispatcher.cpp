// Hands the process to the Windows service control manager.
#include <windows.h>

#include <vector>

#include "host/service_host.h"

namespace zelquo::service {
namespace {

void WINAPI ServiceMain(DWORD argc, LPSTR* argv) {
  if (CServiceHost* host = CServiceHost::Current()) host->Run(argc, argv);
}

}  // namespace

bool CServiceHost::StartDispatcher() {
  std::vector<char> name(ServiceName().begin(), ServiceName().end());
  name.push_back('\0');
  SERVICE_TABLE_ENTRYA table[] = {{name.data(), &ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherA(table) != FALSE;
}

}  // namespace zelquo::service
