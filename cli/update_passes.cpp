#include "cli/update_passes.h"

#include "crypto/md5.h"
#include "crypto/scramble.h"
#include "detection/detect_ip.h"
#include "detection/detect_ipv6.h"
#include "protocol/answer_table.h"
#include "protocol/protocol_texts.h"
#include "protocol/update_exchange.h"
#include "protocol/update_url.h"

namespace zelquo::cli {

namespace {

constexpr ProtocolProgram kProgram = ProtocolProgram::kConsole;

UpdateResult Exchange(const PassEnvironment& environment, const UpdateRequest& request) {
  const std::string url = BuildUpdateUrl(request, VersionOf(kProgram), environment.api_host);
  const std::string answer = SendUpdateRequest(environment.settings, url, environment.http_timeout);
  UpdateResult result = InterpretAnswer(request, kProgram, answer);
  // The console's texts have nothing for a secure connection that failed: it says so in its own
  // words, on a line of its own as a name's text is.
  if (IsTlsErrorText(answer)) result.message = request.kind == RequestKind::kAccount ? answer : answer + "\r\n";
  return result;
}

// The address all requests of one pass share. Detection runs when a request needs an address
// and none is held yet, so it runs again for each name while it finds nothing. The IPv6 address,
// when the settings ask for one, is detected once with the first IPv4 detection.
class CHeldAddress {
 public:
  explicit CHeldAddress(const PassEnvironment& environment)
      : environment_(environment), ipv6_on_(IsIpv6UpdateOn(environment.settings)) {}

  const std::string& Get() {
    if (address_.empty()) address_ = environment_.detect();
    if (ipv6_on_ && !ipv6_detected_ && environment_.detect_ipv6) {
      ipv6_detected_ = true;
      ipv6_ = environment_.detect_ipv6();
    }
    return address_;
  }
  [[nodiscard]] const std::string& Ipv6() const { return ipv6_; }
  // The line that says no IPv6 address was found, once, when one was asked for; else empty.
  [[nodiscard]] std::string TakeNoIpv6Note() {
    if (!ipv6_detected_ || !ipv6_.empty() || note_given_) return std::string();
    note_given_ = true;
    return std::string(kNoIpv6Message) + "\r\n";
  }

 private:
  const PassEnvironment& environment_;
  const bool ipv6_on_;
  bool ipv6_detected_ = false;
  bool note_given_ = false;
  std::string address_;
  std::string ipv6_;
};

// Sends one host or alias request of the name stages and appends what the answer says.
void UpdateName(const PassEnvironment& environment, CHeldAddress& held, UpdateRequest request,
                std::string& result) {
  request.ipv4 = held.Get();
  request.ipv6 = held.Ipv6();
  request.ipv6_update = !request.ipv6.empty();
  result += held.TakeNoIpv6Note();
  // The request still goes out, without an address, after a failed network-card detection.
  if (request.ipv4 == kDetectionAbort) result += std::string(kNicDetectionErrorText) + "\r\n";
  result += Exchange(environment, request).message;
}

}  // namespace

PassEnvironment ProductionEnvironment(const CSettingsFile& settings) {
  PassEnvironment environment{settings, {}};
  environment.detect = [&settings] {
    return DetectIpAddress(DetectionContext{settings, {}, /*retire_network_card_method=*/false});
  };
  environment.detect_ipv6 = [&settings] { return DetectIpv6Address(Ipv6DetectionContext{settings}); };
  return environment;
}

std::string RunSimpleUsagePass(const PassEnvironment& environment) {
  const CSettingsFile& settings = environment.settings;
  const std::string password = UnscrambleText(settings.Read(keys::kPassword));
  const std::string digest = Md5Hex(password);
  const std::string user_name = settings.Read(keys::kUsername);
  if (password.empty()) return kInvalidPasswordText;

  CHeldAddress held(environment);
  const int host_count = settings.ReadCount(keys::kDomainNames);
  const int alias_count = settings.ReadCount(keys::kAliases);
  if (!user_name.empty() && host_count == 0 && alias_count == 0) {
    UpdateRequest request;
    request.kind = RequestKind::kAccount;
    request.user_name = user_name;
    request.password_digest = digest;
    request.ipv4 = held.Get();
    if (request.ipv4 == kDetectionAbort) return kNicDetectionErrorText;
    request.ipv6 = held.Ipv6();
    request.ipv6_update = !request.ipv6.empty();
    const UpdateResult answer = Exchange(environment, request);
    // An answer that matches no word falls through to the name stages, which find no names.
    if (answer.code != AnswerCode::kOther) return held.TakeNoIpv6Note() + answer.message;
  }

  std::string result = held.TakeNoIpv6Note();
  for (int i = 1; i <= host_count; ++i) {
    const std::string host_name = settings.ReadEntry(keys::kDomainNames, i);
    if (host_name.empty()) continue;
    UpdateRequest request;
    request.kind = RequestKind::kHost;
    request.host_name = host_name;
    request.password_digest = digest;
    UpdateName(environment, held, request, result);
  }
  for (int i = 1; i <= alias_count; ++i) {
    const std::string alias = settings.ReadEntry(keys::kAliases, i, keys::kAliasLabel);
    const std::string host_name = settings.ReadEntry(keys::kAliases, i, keys::kAliasHostName);
    if (alias.empty() || host_name.empty()) continue;
    UpdateRequest request;
    request.kind = RequestKind::kAlias;
    request.host_name = host_name;
    request.alias = alias;
    request.password_digest = digest;
    UpdateName(environment, held, request, result);
  }
  return result;
}

std::string RunSingleHostPass(const PassEnvironment& environment, const CommandLine& command_line) {
  UpdateRequest request;
  request.kind = RequestKind::kSingleHost;
  request.host_name = command_line.host_name;
  request.alias = command_line.alias;
  request.password_digest = Md5Hex(command_line.password);
  request.ipv4 = command_line.address.empty() ? environment.detect() : command_line.address;
  return Exchange(environment, request).message;
}

}  // namespace zelquo::cli
