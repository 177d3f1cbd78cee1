// A small wrapper of the service control manager: opening it with full access (which only an
// administrator gets, so a successful Open is the program's elevation test) and asking a
// service's state. Installing, starting and stopping are done by running commands, not here.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

namespace zelquo::gui {

class CServiceManager {
 public:
  CServiceManager();

  // Opens the manager of this computer's active services unless it is open already. False keeps
  // GetLastError's code in LastError() and counts the failure.
  [[nodiscard]] bool Open();
  // The service's current state code (SERVICE_STOPPED ... SERVICE_PAUSED), or 0 when the manager
  // is not open or the service cannot be opened or queried.
  [[nodiscard]] DWORD QueryState(const char* service_name);

  [[nodiscard]] DWORD LastError() const { return last_error_; }
  [[nodiscard]] int ErrorCount() const { return error_count_; }

 private:
  struct HandleCloser {
    void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
  };
  using UniqueServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, HandleCloser>;

  void KeepError();

  std::string machine_name_;
  UniqueServiceHandle manager_;
  DWORD last_error_ = 0;
  int error_count_ = 0;
};

}  // namespace zelquo::gui
