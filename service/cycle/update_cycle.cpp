#include "cycle/update_cycle.h"

#include "change_check/ip_change_check.h"
#include "crypto/md5.h"
#include "crypto/scramble.h"
#include "cycle/dialup_guard.h"
#include "detection/detect_ip.h"
#include "detection/detect_ipv6.h"
#include "protocol/answer_table.h"
#include "protocol/protocol_texts.h"
#include "protocol/update_exchange.h"
#include "protocol/update_url.h"

namespace zelquo {

namespace {

constexpr char kOnlineTipPrefix[] = "Zelquo Dynamic DNS Online! IP Address->";

std::vector<std::vector<std::string>> ReadRows(const CSettingsReader& file, const keys::ListKey& list) {
  std::vector<std::vector<std::string>> rows;
  const int count = file.ReadCount(list);
  for (int n = 1; n <= count; ++n) rows.push_back(file.ReadRow(list, n));
  return rows;
}

std::string CountText(int count, const char* one, const char* many) {
  return IntToText(count) + (count <= 1 ? one : many);
}

// The state of one cycle; the loop's own state (the last good address) lives in the caller's.
class CCycle {
 public:
  CCycle(const UpdateCycleContext& context, CUpdateLoopState& loop)
      : context_(context), settings_(context.settings), sinks_(context.sinks), loop_(loop) {}

  void Run() {
    first_update_ = settings_.Read(keys::kUpdatedIp).empty();
    ipv6_on_ = IsIpv6UpdateOn(settings_);
    if (IsTrayClient()) sinks_.Activity("IP address update initiated.\r\n");
    sinks_.Status("IP update initiated...");

    // The account and the lists are read from one version of the file: a change made meanwhile
    // is seen whole, never a new user name beside the old password or a row moved half-way.
    settings_.ReadTogether([this](const CSettingsReader& file) {
      stored_password_ = file.Read(keys::kPassword);
      user_name_ = file.Read(keys::kUsername);
      location_ = file.Read(keys::kLocation);
      hosts_ = ReadRows(file, keys::kDomainNames);
      aliases_ = ReadRows(file, keys::kAliases);
    });
    const std::string password = UnscrambleText(stored_password_);
    digest_ = Md5Hex(password);
    if (password.empty()) {
      sinks_.Activity(kInvalidPasswordText);
      sinks_.Status("Invalid password...");
      Wait();
      return;
    }
    if (!location_.empty()) {
      const LocationCheckResult check =
          CheckLocation(settings_, user_name_, digest_, location_, context_.api_host, context_.http_timeout);
      if (check.refused) location_.clear();
    }

    const int host_count = static_cast<int>(hosts_.size());
    const int alias_count = static_cast<int>(aliases_.size());
    if (!user_name_.empty() && host_count == 0 && alias_count == 0) {
      RunAccountMode();
    } else {
      RunHostStage(host_count);
      RunAliasStage(alias_count);
      ipv4_.clear();
      if (IsTrayClient()) ReportCurrentAddress();
    }
    Wait();
  }

 private:
  [[nodiscard]] bool IsTrayClient() const { return context_.program == ProtocolProgram::kTrayClient; }

  void Wait() const { context_.wait.Wait(settings_.Read(keys::kPollInterval)); }

  std::string Detect() const {
    std::string address;
    if (context_.detect) {
      address = context_.detect();
    } else {
      DetectionContext detection{settings_, sinks_.activity, /*retire_network_card_method=*/true,
                                 context_.ip_check_attempts, context_.http_timeout};
      address = DetectIpAddress(detection);
    }
    if ((address.empty() || address == kDetectionAbort) && context_.reports.detection_failed) {
      context_.reports.detection_failed(address);
    }
    return address;
  }

  // The cycle's IPv6 address, detected and reported once per cycle when the setting is on.
  void EnsureIpv6() {
    if (!ipv6_on_ || ipv6_detected_) return;
    ipv6_detected_ = true;
    if (context_.detect_ipv6) {
      ipv6_ = context_.detect_ipv6();
    } else {
      ipv6_ = DetectIpv6Address(Ipv6DetectionContext{settings_, context_.ip_check_attempts, context_.http_timeout});
    }
    sinks_.Activity(Ipv6DetectionMessage(ipv6_));
    if (ipv6_.empty() && context_.no_ipv6_found) context_.no_ipv6_found();
  }

  UpdateRequest NewRequest(RequestKind kind) const {
    UpdateRequest request;
    request.kind = kind;
    request.password_digest = digest_;
    request.first_update = first_update_;
    request.ipv6_update = ipv6_on_;
    return request;
  }

  // Sends the request inside the dial-up guard, reports the answer and applies what it says. On
  // a "good" answer the custom command check runs when may_run_command says so, still inside the
  // guard and the tray program's busy hooks.
  UpdateResult Exchange(const UpdateRequest& request, bool may_run_command = false) {
    const std::string url = BuildUpdateUrl(request, VersionOf(context_.program), context_.api_host);
    const CDialUpGuard guard;
    if (context_.hooks.before_request) context_.hooks.before_request();
    const std::string answer = SendUpdateRequest(settings_, url, context_.http_timeout);
    sinks_.Activity("Server response: " + answer);
    const UpdateResult result = InterpretAnswer(request, context_.program, answer);
    if (!result.message.empty()) sinks_.Activity(result.message);
    settled_ = SettledAfter(result.settles, settled_);
    // Forgotten before the report, so that the report can say whether it was.
    const bool forgotten =
        result.side_effect == SideEffect::kForgetPassword && ForgetPassword(settings_, stored_password_);
    if (context_.reports.exchanged) context_.reports.exchanged(ExchangeReport{request, answer, result, forgotten});
    switch (result.side_effect) {
      case SideEffect::kForgetPassword:
        break;
      case SideEffect::kPause:
        sinks_.Status(result.status_line);
        context_.sleep(kMaintenancePause);
        break;
      case SideEffect::kOutdatedNotice:
        if (context_.hooks.outdated_notice) context_.hooks.outdated_notice();
        break;
      case SideEffect::kNone:
        break;
    }
    if (result.code == AnswerCode::kGood) {
      sinks_.Tip(kOnlineTipPrefix + result.updated_address);
      loop_.last_good_address = result.updated_address;
      if (may_run_command && CheckCustomCommand(result.updated_address)) command_ran_ = true;
    }
    if (context_.hooks.after_request) context_.hooks.after_request();
    return result;
  }

  // Runs the custom command when it is enabled and the address differs from the recorded one.
  // True when the command ran. A refusal is reported once in a cycle; later "good" answers of
  // the same cycle do not ask again.
  bool CheckCustomCommand(const std::string& new_address) {
    if (!settings_.ReadBool(keys::kExecuteCommand.name, false)) return false;
    if (settings_.Read(keys::kUpdatedIp) == new_address) return false;
    if (command_refused_) return false;
    if (context_.command.refusal) {
      if (const auto reason = context_.command.refusal(settings_)) {
        command_refused_ = true;
        if (context_.command.refused) context_.command.refused(*reason);
        return false;
      }
    }
    context_.command.run(settings_.Read(keys::kCommand));
    return true;
  }

  void Record() const {
    const int now = context_.minute_of_day();
    settings_.Write(keys::kUpdatedIp, loop_.last_good_address);
    if (ipv6_on_) settings_.Write(keys::kUpdatedIpV6, ipv6_);
    settings_.Write(keys::kUpdatedMinutes, now);
    settings_.Write(keys::kCheckMinutes, now);
  }

  void Unrecord() const {
    settings_.Write(keys::kUpdatedIp, "");
    if (ipv6_on_) settings_.Write(keys::kUpdatedIpV6, "");
  }

  void ReportCurrentAddress() const {
    const std::string recorded = settings_.Read(keys::kUpdatedIp);
    sinks_.Status(recorded.empty() ? "IP update process complete." : "Current IP Address: " + recorded);
  }

  void RunAccountMode() {
    UpdateRequest request = NewRequest(RequestKind::kAccount);
    request.user_name = user_name_;
    request.location = location_;
    sinks_.Activity(ProgressNote(request, context_.program));
    ipv4_ = Detect();
    if (ipv4_ == kDetectionAbort) {
      sinks_.Activity(kNicDetectionErrorText);
      sinks_.Status("IP update failed...");
      return;
    }
    EnsureIpv6();
    request.ipv4 = ipv4_;
    request.ipv6 = ipv6_;
    const UpdateResult result = Exchange(request, /*may_run_command=*/true);
    if (result.code == AnswerCode::kDnsErr || result.code == AnswerCode::k911) settled_ = false;
    if (settled_) {
      Record();
    } else {
      Unrecord();
    }
    ReportCurrentAddress();
  }

  // Fills the cycle's address when a name first needs it; false (after reporting and waiting)
  // when network-card detection failed, which skips this name and every later one.
  bool EnsureAddress(bool report_status) {
    if (ipv4_.empty()) ipv4_ = Detect();
    if (ipv4_ != kDetectionAbort) {
      EnsureIpv6();
      return true;
    }
    sinks_.Activity(kNicDetectionErrorText);
    if (report_status) sinks_.Status("IP update failed.");
    Wait();
    return false;
  }

  void RunHostStage(int count) {
    if (count == 0) {
      sinks_.Activity("0 domain names configured.\r\n");
      return;
    }
    settled_ = false;
    sinks_.Activity(CountText(count, " domain name configured.\r\n", " domain names configured.\r\n"));
    command_ran_ = false;
    for (int i = 1; i <= count; ++i) {
      UpdateRequest request = NewRequest(RequestKind::kHost);
      request.host_name = hosts_[i - 1][0];
      if (request.host_name.empty()) {
        sinks_.Activity("Domain name is invalid or missing password.");
        continue;
      }
      sinks_.Activity(ProgressNote(request, context_.program));
      if (!EnsureAddress(/*report_status=*/true)) continue;
      request.ipv4 = ipv4_;
      request.ipv6 = ipv6_;
      Exchange(request, /*may_run_command=*/!command_ran_);
    }
    if (!settled_) Unrecord();
  }

  void RunAliasStage(int count) {
    if (count == 0) {
      sinks_.Activity("0 aliases configured.\r\n");
      if (settled_) Record();
      return;
    }
    settled_ = false;
    sinks_.Activity(CountText(count, " alias configured.\r\n", " aliases configured.\r\n"));
    for (int i = 1; i <= count; ++i) {
      UpdateRequest request = NewRequest(RequestKind::kAlias);
      request.alias = aliases_[i - 1][keys::kAliasLabel];
      request.host_name = aliases_[i - 1][keys::kAliasHostName];
      if (request.alias.empty() || request.host_name.empty()) {
        sinks_.Activity("Alias " + request.alias + "." + request.host_name + " is invalid.");
        continue;
      }
      sinks_.Activity(ProgressNote(request, context_.program));
      if (!EnsureAddress(/*report_status=*/false)) continue;
      request.ipv4 = ipv4_;
      request.ipv6 = ipv6_;
      Exchange(request);  // the custom command never runs for an alias
    }
    if (settled_) {
      Record();
    } else {
      Unrecord();
    }
  }

  const UpdateCycleContext& context_;
  const CSettingsFile& settings_;
  const MessageSinks& sinks_;
  CUpdateLoopState& loop_;
  bool first_update_ = false;
  bool settled_ = false;
  bool command_ran_ = false;      // host stage: the custom command already ran
  bool command_refused_ = false;  // the custom command was refused in this cycle
  std::string stored_password_;  // as read from the file, scrambled: what a refusal may forget
  std::string digest_;
  std::string user_name_;
  std::string location_;
  std::vector<std::vector<std::string>> hosts_, aliases_;  // the lists' rows
  std::string ipv4_;
  bool ipv6_on_ = false;       // "updateipv6" as the cycle began
  bool ipv6_detected_ = false;
  std::string ipv6_;           // empty: none found, or the setting is off
};

}  // namespace

void RunUpdateCycle(const UpdateCycleContext& context, CUpdateLoopState& state) { CCycle(context, state).Run(); }

void BeginUpdateLoop(const CSettingsFile& settings) {
  settings.Write(keys::kUpdatedIp, "");
  if (IsIpv6UpdateOn(settings)) settings.Write(keys::kUpdatedIpV6, "");
}

void RunUpdatePass(const UpdateCycleContext& context, CUpdateLoopState& state) {
  ChangeCheckContext check{context.settings, context.sinks.activity, context.minute_of_day, context.tracer,
                           context.ip_check_attempts, context.http_timeout, context.detect_ipv6};
  if (IsUpdateDue(check)) {
    RunUpdateCycle(context, state);
    return;
  }
  if (context.hooks.idle_pass) context.hooks.idle_pass();
  context.wait.Wait(context.settings.Read(keys::kPollInterval));
}

}  // namespace zelquo
