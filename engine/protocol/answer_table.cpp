// The provider's answer words and what each means, per request kind and program. Three tables:
// the words; the test lists (order, test and message for each request kind and protocol); the
// version-4.43 outcomes (settled flag and side effects). Changing what an answer means is an
// edit here and nowhere else.
#include "protocol/answer_table.h"

#include <span>

#include "provider_config.h"

namespace zelquo {

namespace {

struct CodeWord {
  AnswerCode code;
  std::string_view word;
};

constexpr CodeWord kCodeWords[] = {
    {AnswerCode::kGood, "good"},         {AnswerCode::kDnsErr, "dnserr"},
    {AnswerCode::k911, "911"},           {AnswerCode::kNotFqdn, "notfqdn"},
    {AnswerCode::kNoChg, "nochg"},       {AnswerCode::kAbuse, "abuse"},
    {AnswerCode::kNoHost, "nohost"},     {AnswerCode::kNumHost, "numhost"},
    {AnswerCode::kNotDonator, "!donator"}, {AnswerCode::kBadAuth, "badauth"},
    {AnswerCode::kNoAlias, "noalias"},   {AnswerCode::kOldVersion, "oldversion"},
    {AnswerCode::kError, "error"},       {AnswerCode::kOther, "other"},
};

// Every test compares the whole answer with the code's word, except these prefix tests and the
// single-host request's search for an HTTP failure text.
enum class AnswerTest {
  kWord,              // the answer equals the word
  kGoodSpaceAtStart,  // the answer begins with "good "
  kGoodAtStart,       // the answer begins with "good"
  kContainsError,     // "Error" anywhere in the answer
};

// Messages are templates: {N} host name (empty in an account request), {A.N} alias + "." + host
// name, {U} user name, {IP} updated address, {LOC} " and location " + location in the tray
// client's account message when there is a location, else nothing.
struct AnswerRule {
  AnswerCode code;
  AnswerTest test;
  std::string_view message;
};

using enum AnswerCode;
using enum AnswerTest;

// Version 4.43 (tray client and service). The tests of these lists are independent in the
// protocol (each one is run), but no answer passes two of them, so stopping at the first that
// passes reads every answer the same way.
constexpr AnswerRule kAccount443[] = {
    {kDnsErr, kWord, "[dnserr] IP update rescheduled due to fault on server side."},
    {k911, kWord, "[911] IP update suspended temporarily due to scheduled maintenance on server side."},
    {kNotFqdn, kWord, "[notfqdn] Domain name {N} is not a fully qualified hostname."},
    {kNoChg, kWord, "[nochg] IP address was not updated due to no change."},
    {kAbuse, kWord, "[abuse] IP address for username {U} was not updated due to abusive IP update behaviour."},
    {kNoHost, kWord, "[nohost] No host was found for username {U}! Please check the settings and try again."},
    {kNumHost, kWord, "[numhost] Too many hosts (more than 20) specified in an update."},
    {kNotDonator, kWord, "[!donator] This option is only available for members."},
    {kBadAuth, kWord, "[badauth] Username {U} or password is invalid! Please check the settings and try again."},
    {kOldVersion, kWord, ""},
    {kGood, kGoodSpaceAtStart, "[good] IP updated with {IP} for username {U}{LOC}"},
};

constexpr AnswerRule kHost443[] = {
    {kDnsErr, kWord, "[dnserr] IP update rescheduled due to fault on server side."},
    {k911, kWord, "[911] IP update suspended temporarily due to scheduled maintenance on server side."},
    {kNotFqdn, kWord, "[notfqdn] Domain name {N} is not a fully qualified hostname."},
    {kNoChg, kWord, "[nochg] IP address not changed for domain name {N}."},
    {kAbuse, kWord, "[abuse] IP address for domain name {N} was not updated due to abusive IP update behaviour."},
    {kNoHost, kWord, "[nohost] Domain name {N} is invalid! Please check the settings and try again."},
    {kNumHost, kWord, "[numhost] Too many hosts (more than 20) specified in an update."},
    {kNotDonator, kWord, "[!donator] This option is only available for members."},
    {kBadAuth, kWord, "[badauth] Authentication failed for domain name {N}."},
    {kOldVersion, kWord, ""},
    {kGood, kGoodSpaceAtStart, "[good] IP updated with {IP} for domain name {N}"},
};

constexpr AnswerRule kAlias443[] = {
    {kDnsErr, kWord, "[dnserr] IP update rescheduled due to fault on server side."},
    {k911, kWord, "[911] IP update suspended temporarily due to scheduled maintenance on server side."},
    {kNotFqdn, kWord, "[notfqdn] Domain name {N} is not a fully qualified hostname."},
    {kNoChg, kWord, "[nochg] IP address not changed for hostname {A.N}."},
    {kAbuse, kWord, "[abuse] IP address for hostname {A.N} was not updated due to abusive IP update behaviour."},
    {kNoHost, kWord, "[nohost] Hostname {A.N} is invalid! Please check the settings and try again."},
    {kNumHost, kWord, "[numhost] Too many hosts (more than 20) specified in an update."},
    {kNotDonator, kWord, "[!donator] This option is only available for members."},
    {kBadAuth, kWord, "[badauth] Authentication failed for hostname {A.N}."},
    {kNoAlias, kWord,
     "[noalias] Alias {A.N} does not exist! Please add it in the ALIAS section of Zelquo control panel."},
    {kOldVersion, kWord, ""},
    {kGood, kGoodSpaceAtStart, "[good] IP updated with {IP} for alias {A.N}"},
};

// Version 4.41 (console). The account list stops at the first passing test.
constexpr AnswerRule kAccount441[] = {
    {kDnsErr, kWord, "[dnserr] IP update rescheduled due to fault on server side."},
    {k911, kWord, "[911] IP update suspended temporarily due to scheduled maintenance on server side."},
    {kNotFqdn, kWord, "[notfqdn] Domain name {N} is not a fully qualified hostname."},
    {kNoChg, kWord, "[nochg] IP address was not updated due to no change."},
    {kAbuse, kWord, "[abuse] IP address for username {U} was not updated due to abusive IP update behaviour."},
    {kNoHost, kWord, "[nohost] No host was found for username {U}! Please check the settings and try again."},
    {kNumHost, kWord, "[numhost] Too many hosts (more than 20) specified in an update."},
    {kNotDonator, kWord, "[!donator] This option is only available for members."},
    {kBadAuth, kWord, "[badauth] Username {U} or password is invalid! Please check the settings and try again."},
    {kGood, kGoodSpaceAtStart, "[good] IP updated with {IP} for username {U}."},
};

// The console's host and alias messages are appended to one text, so each ends its line.
constexpr AnswerRule kHost441[] = {
    {kDnsErr, kWord, "[dnserr] IP update rescheduled due to fault on server side.\r\n"},
    {k911, kWord, "[911] IP update suspended temporarily due to scheduled maintenance on server side.\r\n"},
    {kNotFqdn, kWord, "[notfqdn] Domain name {N} is not a fully qualified hostname.\r\n"},
    {kNoChg, kWord, "[nochg] IP address not changed for domain name {N}.\r\n"},
    {kAbuse, kWord,
     "[abuse] IP address for domain name {N} was not updated due to abusive IP update behaviour.\r\n"},
    {kNoHost, kWord, "[nohost] Domain name {N} is invalid! Please check the settings and try again.\r\n"},
    {kNumHost, kWord, "[numhost] Too many hosts (more than 20) specified in an update.\r\n"},
    {kNotDonator, kWord, "[!donator] This option is only available for members.\r\n"},
    {kBadAuth, kWord, "[badauth] Authentication failed for domain name {N}.\r\n"},
    {kGood, kGoodSpaceAtStart, "[good] IP updated with {IP} for domain name {N}\r\n"},
};

constexpr AnswerRule kAlias441[] = {
    {kDnsErr, kWord, "[dnserr] IP update rescheduled due to fault on server side.\r\n"},
    {k911, kWord, "[911] IP update suspended temporarily due to scheduled maintenance on server side.\r\n"},
    {kNotFqdn, kWord, "[notfqdn] Domain name {N} is not a fully qualified hostname.\r\n"},
    {kNoChg, kWord, "[nochg] IP address not changed for hostname {A.N}.\r\n"},
    {kAbuse, kWord,
     "[abuse] IP address for hostname {A.N} was not updated due to abusive IP update behaviour.\r\n"},
    {kNoHost, kWord, "[nohost] Hostname {A.N} is invalid! Please check the settings and try again.\r\n"},
    {kNumHost, kWord, "[numhost] Too many hosts (more than 20) specified in an update.\r\n"},
    {kNotDonator, kWord, "[!donator] This option is only available for members.\r\n"},
    {kBadAuth, kWord, "[badauth] Authentication failed for hostname {A.N}.\r\n"},
    {kNoAlias, kWord,
     "[noalias] Alias {A.N} does not exist! Please add it in the ALIAS section of Zelquo control panel.\r\n"},
    {kGood, kGoodSpaceAtStart, "[good] IP updated with {IP} for alias {A.N}\r\n"},
};

// The console's command-line request: first passing test wins, so "good" at the start beats an
// "Error" further on. An answer that passes nothing is shown as it is.
constexpr AnswerRule kSingleHost441[] = {
    {kGood, kGoodAtStart, "[good] Hostname {N} updated with IP address {IP}"},
    {kDnsErr, kWord, "[dnserr] IP update failed due to server side fault."},
    {k911, kWord, "[911] IP update suspended temporarily due to scheduled maintenance on server side."},
    {kNotFqdn, kWord, "[notfqdn] Hostname {N} is not a fully qualified hostname."},
    {kNoChg, kWord, "[nochg] IP address not changed for hostname {N}."},
    {kAbuse, kWord, "[abuse] IP address for hostname {A.N} was not updated due to abusive IP update behaviour."},
    {kNoAlias, kWord,
     "[noalias] Alias {A.N} does not exist! Please add it in the ALIAS section of Zelquo control panel."},
    {kNotDonator, kWord, "[!donator] This option is only available for members."},
    {kBadAuth, kWord, "[badauth] Authentication failed for hostname {N}."},
    {kError, kContainsError,
     "[error] Update could not be performed! Are you connected to the internet? If so, are you behind a "
     "restricted proxy or firewall?"},
    {kNoHost, kWord, "[nohost] Hostname {N} is invalid."},
};

// Version 4.43 only: the console records nothing, so its answers settle nothing and have no side
// effects. "noalias" is tested for aliases only.
struct Outcome {
  AnswerCode code;
  Settles account;
  Settles host;
  Settles alias;
  SideEffect tray_client;
  SideEffect service;
  std::string_view status_line;
};

using enum Settles;
using enum SideEffect;

constexpr Outcome kOutcomes443[] = {
    {kDnsErr, kNo, kNo, kNo, kNone, kNone, ""},
    {k911, kNo, kNo, kNo, kPause, kPause, "[911] IP update suspended temporarily..."},
    {kNotFqdn, kYes, kYes, kYes, kNone, kNone, ""},
    {kNoChg, kYes, kYes, kYes, kNone, kNone, ""},
    {kAbuse, kNo, kYes, kYes, kNone, kNone, ""},
    {kNoHost, kYes, kYes, kYes, kNone, kNone, ""},
    {kNumHost, kNo, kNo, kNo, kNone, kNone, ""},
    {kNotDonator, kNo, kYes, kNo, kNone, kNone, ""},
    {kBadAuth, kYes, kYes, kYes, kForgetPassword, kForgetPassword, ""},
    {kNoAlias, kUnchanged, kUnchanged, kYes, kNone, kNone, ""},
    {kOldVersion, kUnchanged, kUnchanged, kUnchanged, kOutdatedNotice, kNone, ""},
    {kGood, kYes, kYes, kYes, kNone, kNone, ""},
};

std::span<const AnswerRule> RulesFor(RequestKind kind, ProtocolProgram program) {
  const bool console = VersionOf(program) == ProtocolVersion::k441;
  switch (kind) {
    case RequestKind::kAccount:
      return console ? std::span<const AnswerRule>(kAccount441) : kAccount443;
    case RequestKind::kHost:
      return console ? std::span<const AnswerRule>(kHost441) : kHost443;
    case RequestKind::kAlias:
      return console ? std::span<const AnswerRule>(kAlias441) : kAlias443;
    case RequestKind::kSingleHost:
      break;
  }
  return kSingleHost441;
}

bool Passes(const AnswerRule& rule, std::string_view answer) {
  switch (rule.test) {
    case kWord:
      return answer == AnswerCodeWord(rule.code);
    case kGoodSpaceAtStart:
      return answer.starts_with("good ");
    case kGoodAtStart:
      return answer.starts_with("good");
    case kContainsError:
      return answer.find("Error") != std::string_view::npos;
  }
  return false;
}

struct MessageFields {
  std::string_view host_name;
  std::string alias_name;  // alias + "." + host name
  std::string_view user_name;
  std::string_view address;
  std::string location_suffix;
};

std::string ExpandMessage(std::string_view message, const MessageFields& fields) {
  struct Placeholder {
    std::string_view name;
    std::string_view value;
  };
  const Placeholder placeholders[] = {{"{N}", fields.host_name},
                                      {"{A.N}", fields.alias_name},
                                      {"{U}", fields.user_name},
                                      {"{IP}", fields.address},
                                      {"{LOC}", fields.location_suffix}};
  std::string text;
  while (!message.empty()) {
    const auto open = message.find('{');
    text += message.substr(0, open);
    if (open == std::string_view::npos) break;
    message.remove_prefix(open);
    bool replaced = false;
    for (const Placeholder& placeholder : placeholders) {
      if (message.starts_with(placeholder.name)) {
        text += placeholder.value;
        message.remove_prefix(placeholder.name.size());
        replaced = true;
        break;
      }
    }
    if (!replaced) {
      text += message.front();
      message.remove_prefix(1);
    }
  }
  return text;
}

const Outcome* OutcomeFor(AnswerCode code) {
  for (const Outcome& outcome : kOutcomes443) {
    if (outcome.code == code) return &outcome;
  }
  return nullptr;
}

Settles SettlesFor(const Outcome& outcome, RequestKind kind) {
  switch (kind) {
    case RequestKind::kAccount:
      return outcome.account;
    case RequestKind::kAlias:
      return outcome.alias;
    case RequestKind::kHost:
    case RequestKind::kSingleHost:
      break;
  }
  return outcome.host;
}

}  // namespace

std::string_view AnswerCodeWord(AnswerCode code) {
  for (const CodeWord& entry : kCodeWords) {
    if (entry.code == code) return entry.word;
  }
  return "other";
}

std::string OutdatedNotice() {
  return std::string(
             "This version of Zelquo IP Update Client is outdated! Newer version of Zelquo IP Update Client "
             "software is available at ") +
         provider::kWebSiteAddress + ".";
}

UpdateResult InterpretAnswer(const UpdateRequest& request, ProtocolProgram program, std::string_view answer) {
  UpdateResult result;
  const std::span<const AnswerRule> rules = RulesFor(request.kind, program);
  const AnswerRule* match = nullptr;
  for (const AnswerRule& rule : rules) {
    if (Passes(rule, answer)) {
      match = &rule;
      break;
    }
  }

  if (match == nullptr) {
    // Only the single-host request shows an unread answer; everywhere else the caller has
    // already logged it.
    if (request.kind == RequestKind::kSingleHost) result.message = std::string(answer);
  } else {
    result.code = match->code;
    if (match->code == kGood && answer.size() > 5) result.updated_address = std::string(answer.substr(5));
    MessageFields fields;
    if (request.kind != RequestKind::kAccount) fields.host_name = request.host_name;
    fields.alias_name = request.alias + "." + request.host_name;
    fields.user_name = request.user_name;
    fields.address = result.updated_address;
    if (program == ProtocolProgram::kTrayClient && !request.location.empty()) {
      fields.location_suffix = " and location " + request.location;
    }
    result.message = ExpandMessage(match->message, fields);
  }

  if (VersionOf(program) == ProtocolVersion::k443 && request.kind != RequestKind::kSingleHost) {
    if (const Outcome* outcome = OutcomeFor(result.code)) {
      result.settles = SettlesFor(*outcome, request.kind);
      result.side_effect = program == ProtocolProgram::kTrayClient ? outcome->tray_client : outcome->service;
      result.status_line = std::string(outcome->status_line);
    }
  }
  return result;
}

}  // namespace zelquo
