// zelquo-service-control: sends one control to a service through the service control manager and
// prints the state it reports, for the scripted service tests (Wine's sc and net know no pause,
// continue or user-defined controls).
//   zelquo-service-control SERVICE pause|continue|interrogate|stop|query|CODE
// Exit code 0 when the manager accepted the control, else the system's error code.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: zelquo-service-control SERVICE pause|continue|interrogate|stop|query|CODE\n", stderr);
    return 2;
  }
  const char* action = argv[2];
  DWORD control = 0;
  if (std::strcmp(action, "pause") == 0) {
    control = SERVICE_CONTROL_PAUSE;
  } else if (std::strcmp(action, "continue") == 0) {
    control = SERVICE_CONTROL_CONTINUE;
  } else if (std::strcmp(action, "interrogate") == 0) {
    control = SERVICE_CONTROL_INTERROGATE;
  } else if (std::strcmp(action, "stop") == 0) {
    control = SERVICE_CONTROL_STOP;
  } else if (std::strcmp(action, "query") != 0) {
    control = static_cast<DWORD>(std::strtoul(action, nullptr, 10));
  }

  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return static_cast<int>(GetLastError());
  SC_HANDLE service = OpenServiceA(manager, argv[1], SERVICE_ALL_ACCESS);
  if (service == nullptr) {
    const DWORD error = GetLastError();
    CloseServiceHandle(manager);
    return static_cast<int>(error);
  }
  SERVICE_STATUS status{};
  DWORD error = 0;
  if (control == 0) {
    if (!QueryServiceStatus(service, &status)) error = GetLastError();
  } else if (!ControlService(service, control, &status)) {
    error = GetLastError();
  }
  std::printf("state %lu controls %lu checkpoint %lu\n", status.dwCurrentState, status.dwControlsAccepted,
              status.dwCheckPoint);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return static_cast<int>(error);
}
