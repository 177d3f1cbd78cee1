// The portable part of the service host. StartDispatcher, Install and Uninstall are the
// platform's (host/<platform>/service_dispatcher.cpp and service_registration.cpp).
#include "host/service_host.h"

#include <atomic>

#include "host/service_identity.h"

namespace zelquo::service {
namespace {

// Written under the owner's status lock, read by the system's entry points on other threads.
std::atomic<CServiceHost*> g_current_host{nullptr};

bool IsPending(std::uint32_t state) {
  return state == kStartPending || state == kStopPending || state == kContinuePending || state == kPausePending;
}

}  // namespace

CServiceHost::CServiceHost(std::string service_name, std::string display_name, std::uint32_t controls_accepted,
                           std::string description, ServiceSystemCalls system)
    : controls_accepted_(controls_accepted),
      current_state_(kStopped),
      service_name_(std::move(service_name)),
      display_name_(std::move(display_name)),
      description_(std::move(description)),
      system_(std::move(system)) {
  {
    CStatusLock::Hold hold(status_lock_);
    g_current_host = this;
  }
  if (system_.register_event_source) event_source_ = system_.register_event_source(display_name_);
}

CServiceHost::~CServiceHost() {
  if (event_source_ != nullptr && system_.deregister_event_source) system_.deregister_event_source(event_source_);
  CStatusLock::Hold hold(status_lock_);
  CServiceHost* self = this;
  g_current_host.compare_exchange_strong(self, nullptr);
}

CServiceHost* CServiceHost::Current() { return g_current_host; }

void CServiceHost::Handler(std::uint32_t control) {
  switch (control) {
    case kControlStop: OnStop(); break;
    case kControlPause: OnPause(); break;
    case kControlContinue: OnContinue(); break;
    case kControlInterrogate: OnInterrogate(); break;
    case kControlShutdown: OnShutdown(); break;
    case kControlParamChange: OnParamChange(); break;
    default: OnUserControl(control); break;
  }
  ReportCurrentStatus();
}

void CServiceHost::Run(std::uint32_t /*argc*/, char** /*argv*/) {}

void CServiceHost::OnStop() { LogEvent(EventType::kInformation, message_ids::kStopped, display_name_); }
void CServiceHost::OnPause() { LogEvent(EventType::kInformation, message_ids::kPaused, display_name_); }
void CServiceHost::OnContinue() { LogEvent(EventType::kInformation, message_ids::kContinued, display_name_); }
void CServiceHost::OnInterrogate() { ReportCurrentStatus(); }
void CServiceHost::OnShutdown() { LogEvent(EventType::kInformation, message_ids::kShutdown, display_name_); }
void CServiceHost::OnParamChange() {}
void CServiceHost::OnUserControl(std::uint32_t /*control*/) {}
void CServiceHost::Debug() { Run(0, nullptr); }
void CServiceHost::Help() {}

void CServiceHost::SetCurrentStateLocked(std::uint32_t state, std::uint32_t checkpoint, std::uint32_t wait_hint) {
  current_state_ = state;
  current_checkpoint_ = IsPending(state) ? checkpoint : 0;
  current_wait_hint_ = IsPending(state) ? wait_hint : 0;
}

bool CServiceHost::ReportStatus(std::uint32_t state, std::uint32_t win32_exit_code, std::uint32_t service_exit_code,
                                std::uint32_t checkpoint, std::uint32_t wait_hint) {
  CStatusLock::Hold hold(status_lock_);
  SetCurrentStateLocked(state, checkpoint, wait_hint);
  const ServiceStatusReport report{
      .service_type = kServiceTypeOwnProcess,
      .current_state = state,
      .controls_accepted = state == kStartPending ? 0 : controls_accepted_,
      .win32_exit_code = win32_exit_code,
      .service_exit_code = service_exit_code,
      .checkpoint = checkpoint,
      .wait_hint = wait_hint,
  };
  return system_.set_status && system_.set_status(status_handle_, report);
}

bool CServiceHost::ReportCurrentStatus() {
  CStatusLock::Hold hold(status_lock_);
  // Repeats a pending state's progress: a controller that saw the checkpoint fall back to 0 and
  // the wait hint to none could take the service for hung.
  return ReportStatus(current_state_, 0, 0, current_checkpoint_, current_wait_hint_);
}

bool CServiceHost::RegisterControlHandler() {
  CStatusLock::Hold hold(status_lock_);
  status_handle_ = system_.register_control_handler ? system_.register_control_handler(service_name_) : nullptr;
  return status_handle_ != nullptr;
}

bool CServiceHost::LogEvent(EventType type, std::uint32_t event_id, const std::string& text) {
  if (event_source_ == nullptr || !system_.report_event) return false;
  return system_.report_event(event_source_, type, event_id, text);
}

std::uint32_t CServiceHost::CurrentState() {
  CStatusLock::Hold hold(status_lock_);
  return current_state_;
}

}  // namespace zelquo::service
