#include "host/update_log_entries.h"

#include <chrono>
#include <string_view>

#include "address_marker.h"
#include "protocol/answer_table.h"
#include "settings/settings.h"

namespace zelquo::service {
namespace {

namespace ids = message_ids;

// The provider's answer is a server's first line, up to 64 KiB of anything: the log gets a
// short, printable copy, so that a proxy's page or a hostile server cannot fill it or forge
// line breaks in it.
constexpr std::size_t kAnswerShown = 120;

std::string Printable(std::string_view text) {
  std::string shown;
  for (const char c : text.substr(0, kAnswerShown)) {
    const auto byte = static_cast<unsigned char>(c);
    shown += byte < 0x20 || byte == 0x7F ? '?' : c;
  }
  if (text.size() > kAnswerShown) shown += "...";
  return shown;
}

std::string Target(const UpdateRequest& request) {
  switch (request.kind) {
    case RequestKind::kAccount: return "account " + request.user_name;
    case RequestKind::kAlias: return request.alias + "." + request.host_name;
    case RequestKind::kHost:
    case RequestKind::kSingleHost: break;
  }
  return request.host_name;
}

std::string AddressSent(const UpdateRequest& request) {
  std::string sent = request.ipv4.empty() ? std::string("no address") : request.ipv4;
  if (!request.ipv6.empty()) sent += " and " + request.ipv6;
  return sent;
}

bool IsFailure(std::string_view answer) { return answer.empty() || answer.starts_with("Error"); }

}  // namespace

ServiceLogEntry ExchangeLogEntry(const ExchangeReport& report) {
  const UpdateResult& result = report.result;
  const std::string subject = Target(report.request) + " with " + AddressSent(report.request);
  if (IsFailure(report.answer)) {
    return {EventType::kError, ids::kUpdateFailed,
            subject + ": " + (report.answer.empty() ? std::string("no answer") : Printable(report.answer))};
  }
  std::string text = subject + ", answer \"" + Printable(report.answer) + "\"";
  switch (result.code) {
    case AnswerCode::kGood:
    case AnswerCode::kNoChg:
      return {EventType::kInformation, ids::kUpdateSent, text};
    case AnswerCode::k911: {
      const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(kMaintenancePause).count();
      return {EventType::kWarning, ids::kUpdatesPaused,
              text + "; the provider is in maintenance, updates pause for " + IntToText(static_cast<int>(minutes)) +
                  " minutes"};
    }
    case AnswerCode::kOldVersion:
      return {EventType::kWarning, ids::kClientOutdated, text};
    default:
      break;
  }
  if (!result.message.empty()) text += ": " + result.message;
  if (report.password_forgotten) text += " The stored password was cleared; no update is sent until it is entered again.";
  return {EventType::kWarning, ids::kUpdateNotDone, text};
}

ServiceLogEntry DetectionLogEntry(const std::string& address) {
  if (address == kDetectionAbort) {
    return {EventType::kWarning, ids::kDetectionFailed, "the detection gave up (abort); no update is sent in this cycle"};
  }
  return {EventType::kWarning, ids::kDetectionFailed,
          "no address found; the update goes without one and the provider takes the sender's"};
}

ServiceLogEntry NoIpv6LogEntry() {
  return {EventType::kWarning, ids::kDetectionFailed, "no usable IPv6 address found; the update goes without one"};
}

ServiceLogEntry CommandRefusalLogEntry(const std::string& reason) {
  return {EventType::kWarning, ids::kCustomCommandRefused, reason};
}

}  // namespace zelquo::service
