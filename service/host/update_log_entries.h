// What the service writes to its event log (syslog on Linux) about one update: which message,
// of which kind, with which insertion text. Only names, addresses and the provider's answer go
// into the text, never the password or its digest. Folding repeats is repeat_folding.h's job;
// writing the entry is the host's.
#pragma once

#include <cstdint>
#include <string>

#include "cycle/update_cycle.h"
#include "messages/service_messages.h"

namespace zelquo::service {

struct ServiceLogEntry {
  EventType type = EventType::kInformation;
  std::uint32_t id = 0;
  std::string text;  // the insertion string

  bool operator==(const ServiceLogEntry&) const = default;
};

// An exchange's entry: information for "good" and "nochg", an error when the exchange failed
// (an "Error..." text), a pause for "911", the outdated notice for "oldversion", and a warning
// that the update was not done for every other answer.
[[nodiscard]] ServiceLogEntry ExchangeLogEntry(const ExchangeReport& report);

// A detection that found no address ("") or failed ("abort").
[[nodiscard]] ServiceLogEntry DetectionLogEntry(const std::string& address);

// With "updateipv6" on, a cycle that found no usable IPv6 address (its requests go without one).
[[nodiscard]] ServiceLogEntry NoIpv6LogEntry();

// The custom command's refusal, with its reason.
[[nodiscard]] ServiceLogEntry CommandRefusalLogEntry(const std::string& reason);

}  // namespace zelquo::service
