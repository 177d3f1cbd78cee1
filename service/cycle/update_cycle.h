// The update cycle that the service and the tray program share: one pass asks the change check
// whether an update is due and, when it is, sends the account request or the host and alias
// requests, applies the answers, records the result and runs the custom command on a new
// address. Everything the two programs do differently is a field of UpdateCycleContext.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "change_check/route_tracer.h"
#include "cycle/poll_interval_wait.h"
#include "detection/ip_check_servers.h"
#include "http/http_get_line.h"
#include "platform/clock.h"
#include "protocol/update_request.h"
#include "provider_config.h"
#include "reporting/message_sinks.h"
#include "settings/settings.h"

namespace zelquo {

// Runs the custom command line through the command interpreter, exactly as written, and waits
// for it: on Windows through system() (cmd.exe /c); on POSIX through sh -c
// in a process group of its own, ended after kCustomCommandTimeout or on the stop request.
void RunCustomCommand(const std::string& command_line);

struct CustomCommandPolicy {
  // The reason the command must not run now, or nullopt. Empty: the command always may run
  // (the tray program, which runs as the user who can change the settings anyway).
  std::function<std::optional<std::string>(const CSettingsFile& settings)> refusal;
  // Told each refusal's reason.
  MessageSink refused;
  std::function<void(const std::string& command_line)> run = &RunCustomCommand;
};

// What the tray program shows around the cycle; the service leaves every hook empty.
struct CycleHooks {
  std::function<void()> before_request;  // after the dial-up guard, before the request
  std::function<void()> after_request;   // after the answer is tested, before the guard ends
  std::function<void()> idle_pass;       // a pass that found no update due, before its wait
  std::function<void()> outdated_notice; // the provider called this client outdated
};

// One exchange as the service logs it: the request as sent, the provider's answer text (an
// "Error..." text when the exchange failed) and its reading.
struct ExchangeReport {
  const UpdateRequest& request;
  std::string_view answer;
  const UpdateResult& result;
  bool password_forgotten = false;  // a refusal emptied the stored password
};

// What the service logs of a cycle; the tray program leaves both empty.
struct CycleReports {
  // Each exchange, before its side effect (a "911" pause) begins.
  std::function<void(const ExchangeReport& report)> exchanged;
  // A detection that found no address ("") or failed ("abort").
  std::function<void(const std::string& address)> detection_failed;
};

struct UpdateCycleContext {
  UpdateCycleContext(const CSettingsFile& settings_file, PollIntervalWait& poll_wait, ProtocolProgram for_program)
      : settings(settings_file), program(for_program), wait(poll_wait) {}

  const CSettingsFile& settings;
  ProtocolProgram program;
  PollIntervalWait& wait;
  MessageSinks sinks;  // the service's discard
  CustomCommandPolicy command;
  CycleHooks hooks;
  CycleReports reports;

  // Seams with the production defaults.
  MinuteOfDayClock minute_of_day = SystemMinuteOfDayClock();
  std::function<void(std::chrono::milliseconds)> sleep = &platform::SleepFor;
  std::string api_host = provider::kUpdateApiHost;
  std::vector<IpCheckAttempt> ip_check_attempts = ProductionIpCheckAttempts();
  std::chrono::milliseconds http_timeout = kHttpGetLineTimeout;
  RouteTracer tracer = TraceRoute;
  // Address detection; empty: the dispatcher with the network-card method retired.
  std::function<std::string()> detect;
  // IPv6 detection, asked only when "updateipv6" is on; empty: DetectIpv6Address.
  std::function<std::string()> detect_ipv6;
  // Told when a cycle with "updateipv6" on found no usable IPv6 address; may be empty.
  std::function<void()> no_ipv6_found;
};

// What lives as long as the loop: the address of the most recent "good" answer.
struct CUpdateLoopState {
  std::string last_good_address;
};

// The loop's start: no address is recorded yet, so the first pass updates.
void BeginUpdateLoop(const CSettingsFile& settings);

// One pass of the loop: the change check, then a cycle when an update is due, else the wait.
void RunUpdatePass(const UpdateCycleContext& context, CUpdateLoopState& state);

// One update cycle, ending with the poll-interval wait.
void RunUpdateCycle(const UpdateCycleContext& context, CUpdateLoopState& state);

}  // namespace zelquo
