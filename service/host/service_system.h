// The calls the service host makes into the system's service manager and event log, as one table
// whose defaults are the real ones (SystemServiceCalls), so that tests can watch every status
// report and event, or fail them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "messages/service_messages.h"

namespace zelquo::service {

// A system handle the host keeps but never looks into (a status handle, an event source).
using SystemHandle = void*;

struct ServiceStatusReport {
  std::uint32_t service_type;
  std::uint32_t current_state;
  std::uint32_t controls_accepted;
  std::uint32_t win32_exit_code;
  std::uint32_t service_exit_code;
  std::uint32_t checkpoint;
  std::uint32_t wait_hint;
};

struct ServiceSystemCalls {
  // Connects the process's control handler (which forwards to CServiceHost::Current()) for the
  // service; the status handle, or nullptr when the process is not running as that service.
  std::function<SystemHandle(const std::string& service_name)> register_control_handler;
  std::function<bool(SystemHandle status_handle, const ServiceStatusReport& report)> set_status;
  // The event source, or nullptr when registration failed.
  std::function<SystemHandle(const std::string& source_name)> register_event_source;
  std::function<void(SystemHandle event_source)> deregister_event_source;
  // One event with one insertion string, sent as the process's own user.
  std::function<bool(SystemHandle event_source, EventType type, std::uint32_t event_id, const std::string& text)>
      report_event;
};

// The system's own calls: the service control manager and event log on Windows; on POSIX the
// signal dispatcher of StartDispatcher and syslog.
[[nodiscard]] ServiceSystemCalls SystemServiceCalls();

}  // namespace zelquo::service
