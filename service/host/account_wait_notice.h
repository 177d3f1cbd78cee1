// Whether the service says, once, that it waits for an account to be configured, and how to
// configure one. The Linux daemon does: its log is the only place a packaged install shows
// anything. The Windows service keeps to its life-cycle events; there the tray program asks for
// the account when it starts.
#pragma once

#include <optional>
#include <string>

namespace zelquo::service::platform {

// The command that sets up an account, for the "waiting for an account" message; nullopt where
// the service says nothing about a missing account.
[[nodiscard]] std::optional<std::string> AccountSetupCommand();

}  // namespace zelquo::service::platform
