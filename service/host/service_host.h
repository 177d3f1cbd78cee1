// The service host: one service object per process that the service manager's static entry
// points reach through Current(), its state and status reports under the status lock, the
// control dispatch, registration (install and uninstall) and the event log.
#pragma once

#include <cstdint>
#include <string>

#include "host/service_system.h"
#include "messages/service_messages.h"
#include "status_lock.h"

namespace zelquo::service {

class CServiceHost {
 public:
  CServiceHost(std::string service_name, std::string display_name, std::uint32_t controls_accepted,
               std::string description, ServiceSystemCalls system = SystemServiceCalls());
  virtual ~CServiceHost();
  CServiceHost(const CServiceHost&) = delete;
  CServiceHost& operator=(const CServiceHost&) = delete;

  // The one service object of the process, or nullptr.
  [[nodiscard]] static CServiceHost* Current();

  virtual void Handler(std::uint32_t control);
  virtual void Run(std::uint32_t argc, char** argv);
  virtual void OnStop();
  virtual void OnPause();
  virtual void OnContinue();
  virtual void OnInterrogate();
  virtual void OnShutdown();
  virtual void OnParamChange();
  virtual void OnUserControl(std::uint32_t control);
  // Hands the process to the service manager; returns when the service has stopped. False
  // when the process was not started by it.
  virtual bool StartDispatcher();
  virtual bool Install();
  virtual bool Uninstall();
  // Run in the calling thread, with no arguments.
  virtual void Debug();
  virtual void Help();

  bool ReportStatus(std::uint32_t state, std::uint32_t win32_exit_code = 0, std::uint32_t service_exit_code = 0,
                    std::uint32_t checkpoint = 0, std::uint32_t wait_hint = 0);
  bool ReportCurrentStatus();
  bool RegisterControlHandler();
  bool LogEvent(EventType type, std::uint32_t event_id, const std::string& text);

  [[nodiscard]] const std::string& ServiceName() const { return service_name_; }
  [[nodiscard]] const std::string& DisplayName() const { return display_name_; }
  [[nodiscard]] const std::string& Description() const { return description_; }
  [[nodiscard]] std::uint32_t CurrentState();

 protected:
  // Sets the current state without a report, for the control operations of derived services. A
  // pending state keeps its checkpoint and wait hint for ReportCurrentStatus.
  void SetCurrentStateLocked(std::uint32_t state, std::uint32_t checkpoint = 0, std::uint32_t wait_hint = 0);
  CStatusLock& StatusLock() { return status_lock_; }

 private:
  SystemHandle status_handle_ = nullptr;
  std::uint32_t controls_accepted_;
  std::uint32_t current_state_;
  // Those of the last pending state reported or set; 0 in a steady state.
  std::uint32_t current_checkpoint_ = 0;
  std::uint32_t current_wait_hint_ = 0;
  std::string service_name_;
  std::string display_name_;
  std::string description_;
  SystemHandle event_source_ = nullptr;
  CStatusLock status_lock_;
  ServiceSystemCalls system_;
};

}  // namespace zelquo::service
