// Who the update service is towards the service manager and the event log, and the state and
// control codes it speaks (the Windows service manager's numbers, used on every system).
#pragma once

#include <cstdint>

namespace zelquo::service {

inline constexpr char kServiceName[] = "ZelquoIUCSvc";
// Also the event source name and the "%1" of the life-cycle messages.
inline constexpr char kDisplayName[] = "Zelquo IP Update Service";
inline constexpr char kDescription[] =
    "IP update service for Zelquo dynamic DNS service. "
    "See https://www.zelquo.net/ for more details.";

inline constexpr char kUsageText[] =
    "Zelquo IP Update Service v4.43\nUsage: ZelquoIUCSvc [-install | -uninstall | -help]\n";

// Service states.
enum ServiceState : std::uint32_t {
  kStopped = 1,
  kStartPending = 2,
  kStopPending = 3,
  kRunning = 4,
  kContinuePending = 5,
  kPausePending = 6,
  kPaused = 7,
};

// Control codes the handler dispatches on; any other code is a user-defined control.
enum ServiceControl : std::uint32_t {
  kControlStop = 1,
  kControlPause = 2,
  kControlContinue = 3,
  kControlInterrogate = 4,
  kControlShutdown = 5,
  // The settings changed: on Linux SIGHUP, which starts a fresh pass at once.
  kControlParamChange = 6,
};

// Stop, and pause/continue.
inline constexpr std::uint32_t kAcceptStopPauseContinue = 0x1 | 0x2;
inline constexpr std::uint32_t kServiceTypeOwnProcess = 0x10;

}  // namespace zelquo::service
