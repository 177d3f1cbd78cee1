// The message texts of the service's event-log table, and the one substitution the table uses.
#include "messages/service_messages.h"

#include <algorithm>
#include <array>

namespace zelquo::service {
namespace {

using enum EventType;
namespace ids = message_ids;

constexpr std::array kMessages{
    ServiceMessage{ids::kStarted, kInformation, "\"%1\" started successfully."},
    ServiceMessage{ids::kInstalled, kInformation, "\"%1\" was successfully installed."},
    ServiceMessage{ids::kUninstalled, kInformation, "\"%1\" was successfully uninstalled."},
    ServiceMessage{ids::kStopped, kInformation, "\"%1\" stopped successfully."},
    ServiceMessage{ids::kPaused, kInformation, "\"%1\" paused successfully."},
    ServiceMessage{ids::kContinued, kInformation, "\"%1\" continued successfully."},
    ServiceMessage{ids::kBeepIntervalSet, kInformation, "Beep Interval has been set to %1 milliseconds."},
    ServiceMessage{ids::kShutdown, kInformation, "\"%1\" was successfully shutdown."},
    ServiceMessage{ids::kCustomCommandRefused, kWarning, "The custom command was not run: %1"},
    ServiceMessage{ids::kWaitingForAccount, kInformation,
                   "No account is configured; waiting for one (set it with \"%1\")."},
    ServiceMessage{ids::kUpdateSent, kInformation, "Update sent: %1"},
    ServiceMessage{ids::kUpdateNotDone, kWarning, "Update not done: %1"},
    ServiceMessage{ids::kUpdateFailed, kError, "Update failed: %1"},
    ServiceMessage{ids::kUpdatesPaused, kWarning, "Updates paused: %1"},
    ServiceMessage{ids::kClientOutdated, kWarning, "The provider calls this client outdated: %1"},
    ServiceMessage{ids::kDetectionFailed, kWarning, "Address detection failed: %1"},
    ServiceMessage{ids::kScmConnectFailed, kError, "Failed to connect to the Service Control Manager, ErrorCode:%1."},
    ServiceMessage{ids::kServiceOpenFailed, kError, "Failed to open the service, ErrorCode:%1."},
    ServiceMessage{ids::kServiceDeleteFailed, kError, "Failed to delete the service, ErrorCode:%1."},
};

}  // namespace

std::span<const ServiceMessage> ServiceMessageTable() { return kMessages; }

const ServiceMessage* FindServiceMessage(std::uint32_t id) {
  const auto* found = std::find_if(kMessages.begin(), kMessages.end(),
                                   [id](const ServiceMessage& message) { return message.id == id; });
  return found == kMessages.end() ? nullptr : found;
}

std::optional<std::string> FormatServiceMessage(std::uint32_t id, std::string_view insertion) {
  const ServiceMessage* message = FindServiceMessage(id);
  if (message == nullptr) return std::nullopt;
  std::string text;
  for (std::string_view rest = message->text; !rest.empty();) {
    const auto marker = rest.find("%1");
    text.append(rest.substr(0, marker));
    if (marker == std::string_view::npos) break;
    text.append(insertion);
    rest.remove_prefix(marker + 2);
  }
  return text;
}

}  // namespace zelquo::service
