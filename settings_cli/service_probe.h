// The update daemon as the settings command sees it: its state, and the wake-up that makes it
// start a pass at once. Under systemd both go through systemctl; without it the state comes from
// the processes running the daemon program that lies beside this one, and nothing is woken.
#pragma once

#include <cstdint>
#include <optional>

namespace zelquo::settings_cli {

inline constexpr char kDaemonUnit[] = "zelquoiucsvc.service";
inline constexpr char kDaemonProgramName[] = "zelquoiucsvc";

struct DaemonState {
  // The service manager's state code (1 stopped ... 4 running; 0 not installed), as the Misc
  // page reads it; nullopt when it could not be found out.
  std::optional<std::uint32_t> state;
  bool under_systemd = false;
};

[[nodiscard]] DaemonState QueryDaemonState();

// Sends the running daemon's main process SIGHUP through systemd, which ends its poll-interval
// wait. False when systemd does not run it or it is not running.
[[nodiscard]] bool WakeDaemon();

}  // namespace zelquo::settings_cli
