// The plain values that travel through one provider exchange: the request the caller fills in,
// and the reading of the provider's answer. Building URLs, reading answers and sending are in
// update_url.h, answer_table.h and update_exchange.h; what to do with a result (record the
// address, sleep, show a notice) is the update cycle's business.
#pragma once

#include <string>

namespace zelquo {

enum class RequestKind {
  kAccount,     // every name of the account, addressed by user name
  kHost,        // one host name
  kAlias,       // one alias under one host name
  kSingleHost,  // the console's command-line request: one host name, alias optional
};

// The tray client and the service speak version "4.43"; the console utility "4.41". The two
// version-4.43 programs read answers alike except for two details (see answer_table.h).
enum class ProtocolProgram { kTrayClient, kService, kConsole };

enum class ProtocolVersion { k443, k441 };

[[nodiscard]] constexpr ProtocolVersion VersionOf(ProtocolProgram program) {
  return program == ProtocolProgram::kConsole ? ProtocolVersion::k441 : ProtocolVersion::k443;
}

// One request, built fresh for each name. Only the fields of its kind are used.
struct UpdateRequest {
  RequestKind kind = RequestKind::kAccount;
  std::string user_name;        // account
  std::string host_name;        // host, alias (the host the alias lives under), single host
  std::string alias;            // alias label without the host name; optional for single host
  std::string password_digest;  // 32 lower-case hex digits of the clear password's MD5
  std::string ipv4;             // dotted quad, empty (provider takes the sender's) or "abort"
  std::string ipv6;             // version 4.43 account only, unless ipv6_update; sent when non-empty
  // "updateipv6" is on: the IPv6 address goes with every kind and version, after the IPv4 one.
  bool ipv6_update = false;
  std::string location;         // version 4.43 account only; sent when non-empty
  bool first_update = false;    // version 4.43: the stored last-updated address was empty
};

// The answer words, plus "error" (the console's single-host request saw an HTTP failure) and
// "other" (nothing matched).
enum class AnswerCode {
  kGood,
  kDnsErr,
  k911,
  kNotFqdn,
  kNoChg,
  kAbuse,
  kNoHost,
  kNumHost,
  kNotDonator,
  kBadAuth,
  kNoAlias,
  kOldVersion,
  kError,
  kOther,
};

// What an answer does to the cycle's settled flag: yes lets the cycle record the address as
// sent, no makes the next cycle send again, unchanged keeps the value held before the answer.
enum class Settles { kYes, kNo, kUnchanged };

enum class SideEffect {
  kNone,
  kForgetPassword,   // write the stored password empty (ForgetPassword in update_exchange.h)
  kPause,            // the calling thread sleeps kMaintenancePause before it goes on
  kOutdatedNotice,   // the tray client shows OutdatedNotice() (answer_table.h)
};

struct UpdateResult {
  AnswerCode code = AnswerCode::kOther;
  std::string message;          // for the user; empty when the answer gives none
  std::string updated_address;  // "good": the answer from its sixth character on
  Settles settles = Settles::kUnchanged;  // version 4.43 only; always unchanged in the console
  SideEffect side_effect = SideEffect::kNone;
  std::string status_line;      // version 4.43 "911" only
};

// The settled flag after an answer, given the flag before it.
[[nodiscard]] constexpr bool SettledAfter(Settles settles, bool settled_before) {
  return settles == Settles::kUnchanged ? settled_before : settles == Settles::kYes;
}

}  // namespace zelquo
