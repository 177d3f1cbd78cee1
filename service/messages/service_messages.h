// The event-log messages of the update service: ids, kinds and texts. Windows formats them from
// the message table compiled from service_messages.mc (which must say the same); on other systems
// the service fills in the insertion string itself before it hands the text to syslog.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zelquo::service {

enum class EventType : std::uint16_t { kError = 1, kWarning = 2, kInformation = 4 };

namespace message_ids {
inline constexpr std::uint32_t kStarted = 0x40000001;
inline constexpr std::uint32_t kInstalled = 0x40000002;
inline constexpr std::uint32_t kUninstalled = 0x40000003;
inline constexpr std::uint32_t kStopped = 0x40000004;
inline constexpr std::uint32_t kPaused = 0x40000005;
inline constexpr std::uint32_t kContinued = 0x40000006;
inline constexpr std::uint32_t kBeepIntervalSet = 0x4000000A;
inline constexpr std::uint32_t kShutdown = 0x4000000B;
inline constexpr std::uint32_t kCustomCommandRefused = 0x8000000C;
inline constexpr std::uint32_t kWaitingForAccount = 0x4000000D;
inline constexpr std::uint32_t kUpdateSent = 0x4000000E;
inline constexpr std::uint32_t kUpdateNotDone = 0x8000000F;
inline constexpr std::uint32_t kUpdateFailed = 0xC0000010;
inline constexpr std::uint32_t kUpdatesPaused = 0x80000011;
inline constexpr std::uint32_t kClientOutdated = 0x80000012;
inline constexpr std::uint32_t kDetectionFailed = 0x80000013;
inline constexpr std::uint32_t kScmConnectFailed = 0xC0000007;
inline constexpr std::uint32_t kServiceOpenFailed = 0xC0000008;
inline constexpr std::uint32_t kServiceDeleteFailed = 0xC0000009;
}  // namespace message_ids

struct ServiceMessage {
  std::uint32_t id;
  EventType type;
  const char* text;  // as stored in the message table, "%1" unfilled, without the final CR LF
};

// Every message of the table.
[[nodiscard]] std::span<const ServiceMessage> ServiceMessageTable();
// The message with that id, or nullptr.
[[nodiscard]] const ServiceMessage* FindServiceMessage(std::uint32_t id);

// The message text with every "%1" replaced by insertion; nullopt for an unknown id.
[[nodiscard]] std::optional<std::string> FormatServiceMessage(std::uint32_t id, std::string_view insertion);

}  // namespace zelquo::service
