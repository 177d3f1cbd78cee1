// The host's system calls on POSIX: the control handler is the signal dispatcher of
// StartDispatcher (nothing else to register), status reports have no receiver, and the event log
// is syslog, which gets the message text with its insertion string filled in.
#include "host/service_system.h"

#include <syslog.h>

#include "host/posix/signal_controls.h"

namespace zelquo::service {
namespace {

// syslog keeps the identity pointer it is given.
constexpr char kSyslogIdentity[] = "zelquoiucsvc";

// A handle for what has no handle of its own; only its being non-null matters.
SystemHandle PresentHandle() {
  static char present;
  return &present;
}

SystemHandle RegisterControlHandlerCall(const std::string& /*service_name*/) {
  return posix::SignalDispatcherRunning() ? PresentHandle() : nullptr;
}

bool SetStatusCall(SystemHandle status_handle, const ServiceStatusReport& /*report*/) {
  return status_handle != nullptr;
}

SystemHandle RegisterEventSourceCall(const std::string& /*source_name*/) {
  openlog(kSyslogIdentity, LOG_PID | LOG_NDELAY, LOG_DAEMON);
  return PresentHandle();
}

void DeregisterEventSourceCall(SystemHandle /*event_source*/) { closelog(); }

int SyslogPriority(EventType type) {
  switch (type) {
    case EventType::kError: return LOG_ERR;
    case EventType::kWarning: return LOG_WARNING;
    case EventType::kInformation: break;
  }
  return LOG_INFO;
}

bool ReportEventCall(SystemHandle /*event_source*/, EventType type, std::uint32_t event_id, const std::string& text) {
  const auto message = FormatServiceMessage(event_id, text);
  if (!message) return false;
  syslog(SyslogPriority(type), "%s", message->c_str());
  return true;
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
