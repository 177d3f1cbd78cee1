// zelquo-service-control: sends controls to a service through the service control manager and
// prints the state it reports after each, for the scripted service tests (Wine's sc and net know
// no pause, continue or user-defined controls, and a person can type no two controls as closely
// together as the tests need).
//   zelquo-service-control SERVICE ACTION...
//     ACTION: pause | continue | interrogate | stop | query | CODE (a user-defined control)
//             stop-and-wait: stop, then watch the service as a careful controller does, giving
//             up when the checkpoint stands still for longer than the wait hint (and at least
//             the one second such controllers sleep between queries); prints the milliseconds
//             until "stopped"
//   zelquo-service-control sleep MILLISECONDS
//     only waits: a custom command that takes its time
// Exit code 0 when the manager accepted every control, else the system's error code of the
// first refusal (1 when stop-and-wait gave up).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void PrintStatus(const SERVICE_STATUS& status) {
  std::printf("state %lu controls %lu checkpoint %lu\n", status.dwCurrentState, status.dwControlsAccepted,
              status.dwCheckPoint);
}

DWORD StopAndWait(SC_HANDLE service) {
  SERVICE_STATUS status{};
  const ULONGLONG start = GetTickCount64();
  if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) return GetLastError();
  ULONGLONG progress_at = start;
  DWORD checkpoint = status.dwCheckPoint;
  while (status.dwCurrentState != SERVICE_STOPPED) {
    Sleep(50);
    if (!QueryServiceStatus(service, &status)) return GetLastError();
    const ULONGLONG now = GetTickCount64();
    if (status.dwCheckPoint != checkpoint) {
      checkpoint = status.dwCheckPoint;
      progress_at = now;
    } else if (status.dwCurrentState != SERVICE_STOPPED && now - progress_at > 1000 &&
               now - progress_at > status.dwWaitHint) {
      std::printf("no progress for %llu ms: state %lu checkpoint %lu wait hint %lu\n", now - progress_at,
                  status.dwCurrentState, status.dwCheckPoint, status.dwWaitHint);
      return 1;
    }
  }
  std::printf("stopped after %llu ms\n", GetTickCount64() - start);
  return 0;
}

DWORD Act(SC_HANDLE service, const char* action) {
  if (std::strcmp(action, "stop-and-wait") == 0) return StopAndWait(service);
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
  SERVICE_STATUS status{};
  DWORD error = 0;
  if (control == 0) {
    if (!QueryServiceStatus(service, &status)) error = GetLastError();
  } else if (!ControlService(service, control, &status)) {
    error = GetLastError();
  }
  PrintStatus(status);
  return error;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "sleep") == 0) {
    Sleep(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
    return 0;
  }
  if (argc < 3) {
    std::fputs("usage: zelquo-service-control SERVICE ACTION...  |  zelquo-service-control sleep MILLISECONDS\n",
               stderr);
    return 2;
  }
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return static_cast<int>(GetLastError());
  SC_HANDLE service = OpenServiceA(manager, argv[1], SERVICE_ALL_ACCESS);
  if (service == nullptr) {
    const DWORD error = GetLastError();
    CloseServiceHandle(manager);
    return static_cast<int>(error);
  }
  DWORD first_error = 0;
  for (int i = 2; i < argc; ++i) {
    const DWORD error = Act(service, argv[i]);
    if (first_error == 0) first_error = error;
  }
  std::fflush(stdout);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return static_cast<int>(first_error);
}
