// Reading the provider's answers: the message tables and the outcome table as data, then the
// near misses where a loose match would go wrong.
#include "protocol/answer_table.h"

#include <gtest/gtest.h>

#include "protocol/protocol_texts.h"
#include "provider_config.h"

namespace zelquo {
namespace {

using enum RequestKind;
using enum ProtocolProgram;

constexpr char kAddress[] = "203.0.113.9";

UpdateRequest Request(RequestKind kind) {
  UpdateRequest request;
  request.kind = kind;
  request.user_name = "alice";
  // An account request carries no host name; one set here must not reach its messages.
  request.host_name = "example.org";
  request.alias = "www";
  request.location = "home";
  return request;
}

// What one request kind reads from one answer.
struct Reading {
  AnswerCode code;
  std::string message;
  Settles settles = Settles::kUnchanged;
};

// One answer word for a set of programs: the reading of each request kind, and what the program
// is to do.
struct AnswerRow {
  std::string word;
  std::vector<ProtocolProgram> programs;
  Reading account, host, alias;
  SideEffect effect = SideEffect::kNone;
  std::string status_line{};
};

void CheckAnswers(const std::vector<AnswerRow>& rows) {
  for (const AnswerRow& row : rows) {
    for (const ProtocolProgram program : row.programs) {
      const std::pair<RequestKind, const Reading*> kinds[] = {
          {kAccount, &row.account}, {kHost, &row.host}, {kAlias, &row.alias}};
      for (const auto& [kind, reading] : kinds) {
        const UpdateResult result = InterpretAnswer(Request(kind), program, row.word);
        const std::string where = "answer \"" + row.word + "\", kind " + std::to_string(static_cast<int>(kind)) +
                                  ", program " + std::to_string(static_cast<int>(program));
        EXPECT_EQ(AnswerCodeWord(result.code), AnswerCodeWord(reading->code)) << where;
        EXPECT_EQ(result.message, reading->message) << where;
        EXPECT_EQ(result.settles, reading->settles) << where;
        EXPECT_EQ(result.side_effect, row.effect) << where;
        EXPECT_EQ(result.status_line, row.status_line) << where;
      }
    }
  }
}

const std::string kGoodAnswer = std::string("good ") + kAddress;
const std::vector<ProtocolProgram> k443 = {kTrayClient, kService};
const std::vector<ProtocolProgram> kTray = {kTrayClient};
const std::vector<ProtocolProgram> kSvc = {kService};
const std::vector<ProtocolProgram> kCon = {kConsole};

constexpr char kDnsErrText[] = "[dnserr] IP update rescheduled due to fault on server side.";
constexpr char k911Text[] = "[911] IP update suspended temporarily due to scheduled maintenance on server side.";
constexpr char kNumHostText[] = "[numhost] Too many hosts (more than 20) specified in an update.";
constexpr char kNotDonatorText[] = "[!donator] This option is only available for members.";
constexpr char kNoAliasText[] =
    "[noalias] Alias www.example.org does not exist! Please add it in the ALIAS section of Zelquo control panel.";

// The console ends each host and alias message with CR LF.
std::string Crlf(const std::string& text) { return text + "\r\n"; }

TEST(ProtocolAnswerTest, Version443Answers) {
  using enum AnswerCode;
  using enum Settles;
  using enum SideEffect;
  const Reading unmatched{kOther, ""};
  const Reading old_version{kOldVersion, ""};
  CheckAnswers({
      {"dnserr", k443, {kDnsErr, kDnsErrText, kNo}, {kDnsErr, kDnsErrText, kNo}, {kDnsErr, kDnsErrText, kNo}},
      {"911", k443, {k911, k911Text, kNo}, {k911, k911Text, kNo}, {k911, k911Text, kNo},
       kPause, "[911] IP update suspended temporarily..."},
      {"notfqdn", k443,
       {kNotFqdn, "[notfqdn] Domain name  is not a fully qualified hostname.", kYes},
       {kNotFqdn, "[notfqdn] Domain name example.org is not a fully qualified hostname.", kYes},
       {kNotFqdn, "[notfqdn] Domain name example.org is not a fully qualified hostname.", kYes}},
      {"nochg", k443,
       {kNoChg, "[nochg] IP address was not updated due to no change.", kYes},
       {kNoChg, "[nochg] IP address not changed for domain name example.org.", kYes},
       {kNoChg, "[nochg] IP address not changed for hostname www.example.org.", kYes}},
      {"abuse", k443,
       {kAbuse, "[abuse] IP address for username alice was not updated due to abusive IP update behaviour.", kNo},
       {kAbuse, "[abuse] IP address for domain name example.org was not updated due to abusive IP update behaviour.",
        kYes},
       {kAbuse, "[abuse] IP address for hostname www.example.org was not updated due to abusive IP update behaviour.",
        kYes}},
      {"nohost", k443,
       {kNoHost, "[nohost] No host was found for username alice! Please check the settings and try again.", kYes},
       {kNoHost, "[nohost] Domain name example.org is invalid! Please check the settings and try again.", kYes},
       {kNoHost, "[nohost] Hostname www.example.org is invalid! Please check the settings and try again.", kYes}},
      {"numhost", k443, {kNumHost, kNumHostText, kNo}, {kNumHost, kNumHostText, kNo}, {kNumHost, kNumHostText, kNo}},
      {"!donator", k443,
       {kNotDonator, kNotDonatorText, kNo}, {kNotDonator, kNotDonatorText, kYes}, {kNotDonator, kNotDonatorText, kNo}},
      {"badauth", k443,
       {kBadAuth, "[badauth] Username alice or password is invalid! Please check the settings and try again.", kYes},
       {kBadAuth, "[badauth] Authentication failed for domain name example.org.", kYes},
       {kBadAuth, "[badauth] Authentication failed for hostname www.example.org.", kYes}, kForgetPassword},
      {"noalias", k443, unmatched, unmatched, {kNoAlias, kNoAliasText, kYes}},
      {"oldversion", kTray, old_version, old_version, old_version, kOutdatedNotice},
      {"oldversion", kSvc, old_version, old_version, old_version},
      {kGoodAnswer, kSvc,
       {kGood, "[good] IP updated with 203.0.113.9 for username alice", kYes},
       {kGood, "[good] IP updated with 203.0.113.9 for domain name example.org", kYes},
       {kGood, "[good] IP updated with 203.0.113.9 for alias www.example.org", kYes}},
      {kGoodAnswer, kTray,
       {kGood, "[good] IP updated with 203.0.113.9 for username alice and location home", kYes},
       {kGood, "[good] IP updated with 203.0.113.9 for domain name example.org", kYes},
       {kGood, "[good] IP updated with 203.0.113.9 for alias www.example.org", kYes}},
      {"Error:Server Error.", k443, unmatched, unmatched, unmatched},
      {"something else", k443, unmatched, unmatched, unmatched},
  });
}

// The console settles nothing and has no side effects: its rows keep the defaults.
TEST(ProtocolAnswerTest, ConsoleAnswers) {
  using enum AnswerCode;
  const Reading unmatched{kOther, ""};
  const std::string not_fqdn = "[notfqdn] Domain name example.org is not a fully qualified hostname.";
  CheckAnswers({
      {"dnserr", kCon, {kDnsErr, kDnsErrText}, {kDnsErr, Crlf(kDnsErrText)}, {kDnsErr, Crlf(kDnsErrText)}},
      {"911", kCon, {k911, k911Text}, {k911, Crlf(k911Text)}, {k911, Crlf(k911Text)}},
      {"notfqdn", kCon,
       {kNotFqdn, "[notfqdn] Domain name  is not a fully qualified hostname."},
       {kNotFqdn, Crlf(not_fqdn)}, {kNotFqdn, Crlf(not_fqdn)}},
      {"nochg", kCon,
       {kNoChg, "[nochg] IP address was not updated due to no change."},
       {kNoChg, "[nochg] IP address not changed for domain name example.org.\r\n"},
       {kNoChg, "[nochg] IP address not changed for hostname www.example.org.\r\n"}},
      {"abuse", kCon,
       {kAbuse, "[abuse] IP address for username alice was not updated due to abusive IP update behaviour."},
       {kAbuse,
        "[abuse] IP address for domain name example.org was not updated due to abusive IP update behaviour.\r\n"},
       {kAbuse,
        "[abuse] IP address for hostname www.example.org was not updated due to abusive IP update behaviour.\r\n"}},
      {"nohost", kCon,
       {kNoHost, "[nohost] No host was found for username alice! Please check the settings and try again."},
       {kNoHost, "[nohost] Domain name example.org is invalid! Please check the settings and try again.\r\n"},
       {kNoHost, "[nohost] Hostname www.example.org is invalid! Please check the settings and try again.\r\n"}},
      {"numhost", kCon, {kNumHost, kNumHostText}, {kNumHost, Crlf(kNumHostText)}, {kNumHost, Crlf(kNumHostText)}},
      {"!donator", kCon,
       {kNotDonator, kNotDonatorText}, {kNotDonator, Crlf(kNotDonatorText)}, {kNotDonator, Crlf(kNotDonatorText)}},
      {"badauth", kCon,
       {kBadAuth, "[badauth] Username alice or password is invalid! Please check the settings and try again."},
       {kBadAuth, "[badauth] Authentication failed for domain name example.org.\r\n"},
       {kBadAuth, "[badauth] Authentication failed for hostname www.example.org.\r\n"}},
      {"noalias", kCon, unmatched, unmatched, {kNoAlias, Crlf(kNoAliasText)}},
      {"oldversion", kCon, unmatched, unmatched, unmatched},
      // "good" has a final period in the account message only.
      {kGoodAnswer, kCon,
       {kGood, "[good] IP updated with 203.0.113.9 for username alice."},
       {kGood, "[good] IP updated with 203.0.113.9 for domain name example.org\r\n"},
       {kGood, "[good] IP updated with 203.0.113.9 for alias www.example.org\r\n"}},
  });
}

TEST(ProtocolAnswerTest, ConsoleSingleHostMessages) {
  using enum AnswerCode;
  // Its own texts; an unmatched answer is its own message.
  const struct {
    const char* word;
    AnswerCode code;
    const char* message;
  } rows[] = {
      {"good 203.0.113.9", kGood, "[good] Hostname example.org updated with IP address 203.0.113.9"},
      {"dnserr", kDnsErr, "[dnserr] IP update failed due to server side fault."},
      {"911", k911, k911Text},
      {"notfqdn", kNotFqdn, "[notfqdn] Hostname example.org is not a fully qualified hostname."},
      {"nochg", kNoChg, "[nochg] IP address not changed for hostname example.org."},
      {"abuse", kAbuse,
       "[abuse] IP address for hostname www.example.org was not updated due to abusive IP update behaviour."},
      {"noalias", kNoAlias, kNoAliasText},
      {"!donator", kNotDonator, kNotDonatorText},
      {"badauth", kBadAuth, "[badauth] Authentication failed for hostname example.org."},
      {"Error:Server Error.", kError,
       "[error] Update could not be performed! Are you connected to the internet? If so, are you behind a "
       "restricted proxy or firewall?"},
      {"nohost", kNoHost, "[nohost] Hostname example.org is invalid."},
      {"numhost", kOther, "numhost"},
      {"oldversion", kOther, "oldversion"},
      {"", kOther, ""},
  };
  for (const auto& row : rows) {
    const UpdateResult result = InterpretAnswer(Request(kSingleHost), kConsole, row.word);
    EXPECT_EQ(AnswerCodeWord(result.code), AnswerCodeWord(row.code)) << row.word;
    EXPECT_EQ(result.message, row.message) << row.word;
  }
}

TEST(ProtocolAnswerTest, ConsoleAnswersSettleNothing) {
  for (const RequestKind kind : {kAccount, kHost, kAlias, kSingleHost}) {
    for (const char* answer : {"badauth", "911", "good 1.2.3.4", "oldversion", "dnserr"}) {
      const UpdateResult result = InterpretAnswer(Request(kind), kConsole, answer);
      EXPECT_EQ(result.settles, Settles::kUnchanged) << answer;
      EXPECT_EQ(result.side_effect, SideEffect::kNone) << answer;
      EXPECT_EQ(result.status_line, "") << answer;
    }
  }
}

// An answer no word matches, for every program and every kind but the single-host request.
void ExpectUnmatched(const std::string& answer) {
  for (const ProtocolProgram program : {kTrayClient, kService, kConsole}) {
    for (const RequestKind kind : {kAccount, kHost, kAlias}) {
      const UpdateResult result = InterpretAnswer(Request(kind), program, answer);
      EXPECT_EQ(result.code, AnswerCode::kOther) << answer;
      EXPECT_EQ(result.message, "") << answer;
      EXPECT_EQ(result.settles, Settles::kUnchanged) << answer;
      EXPECT_EQ(result.side_effect, SideEffect::kNone) << answer;
    }
  }
}

TEST(ProtocolAnswerTest, GoodNeedsItsSpaceExceptInTheSingleHostRequest) {
  ExpectUnmatched("good");
  ExpectUnmatched("goodbye");
  const UpdateResult bare = InterpretAnswer(Request(kSingleHost), kConsole, "good");
  EXPECT_EQ(bare.code, AnswerCode::kGood);
  EXPECT_EQ(bare.updated_address, "");
  EXPECT_EQ(bare.message, "[good] Hostname example.org updated with IP address ");
  // The address is everything after the fifth character, whatever that character is.
  EXPECT_EQ(InterpretAnswer(Request(kSingleHost), kConsole, "good1.2.3.4").updated_address, ".2.3.4");
  // "good" is tested first, so an answer that also holds "Error" is still good.
  EXPECT_EQ(InterpretAnswer(Request(kSingleHost), kConsole, "good Error").code, AnswerCode::kGood);
}

TEST(ProtocolAnswerTest, UpdatedAddressAndTheHostGoodMessage) {
  const UpdateRequest request = Request(kHost);
  const UpdateResult result = InterpretAnswer(request, kService, "good 198.51.100.7");
  EXPECT_EQ(result.updated_address, "198.51.100.7");
  EXPECT_EQ(result.message, "[good] IP updated with 198.51.100.7 for domain name example.org");
  EXPECT_EQ(result.settles, Settles::kYes);
  const UpdateResult empty = InterpretAnswer(request, kService, "good ");
  EXPECT_EQ(empty.code, AnswerCode::kGood);
  EXPECT_EQ(empty.updated_address, "");
}

TEST(ProtocolAnswerTest, MatchesAreExactAndCaseSensitive) {
  for (const char* answer : {"nochg ", " nochg", "NOCHG", "nochg\t", "Good 1.2.3.4", "badauth!", "donator", "9110"}) {
    ExpectUnmatched(answer);
    const UpdateResult single = InterpretAnswer(Request(kSingleHost), kConsole, answer);
    EXPECT_EQ(single.code, AnswerCode::kOther) << answer;
    EXPECT_EQ(single.message, answer) << "the single-host request shows an unmatched answer as it is";
  }
}

TEST(ProtocolAnswerTest, HttpFailureTexts) {
  for (const char* answer : {"Error:Server Error.", "Error: Access denied.", "Error:Malformed url."}) {
    ExpectUnmatched(answer);
    EXPECT_EQ(InterpretAnswer(Request(kSingleHost), kConsole, answer).code, AnswerCode::kError) << answer;
  }
  // Anywhere in the answer, and only with this capitalisation.
  EXPECT_EQ(InterpretAnswer(Request(kSingleHost), kConsole, "server Error 5").code, AnswerCode::kError);
  EXPECT_EQ(InterpretAnswer(Request(kSingleHost), kConsole, "error").code, AnswerCode::kOther);
}

TEST(ProtocolAnswerTest, EmptyNamesAndLocation) {
  UpdateRequest host = Request(kHost);
  host.host_name.clear();
  EXPECT_EQ(InterpretAnswer(host, kService, "nochg").message, "[nochg] IP address not changed for domain name .");
  UpdateRequest account = Request(kAccount);
  account.location.clear();
  EXPECT_EQ(InterpretAnswer(account, kTrayClient, "good 1.2.3.4").message,
            "[good] IP updated with 1.2.3.4 for username alice")
      << "no location part without a location";
  UpdateRequest single = Request(kSingleHost);
  single.alias.clear();
  EXPECT_EQ(InterpretAnswer(single, kConsole, "abuse").message,
            "[abuse] IP address for hostname .example.org was not updated due to abusive IP update behaviour.");
}

TEST(ProtocolAnswerTest, SettledFlagAfterAnAnswer) {
  EXPECT_TRUE(SettledAfter(Settles::kYes, false));
  EXPECT_FALSE(SettledAfter(Settles::kNo, true));
  EXPECT_TRUE(SettledAfter(Settles::kUnchanged, true));
  EXPECT_FALSE(SettledAfter(Settles::kUnchanged, false));
}

TEST(ProtocolAnswerTest, OutdatedNotice) {
  EXPECT_EQ(OutdatedNotice(),
            std::string("This version of Zelquo IP Update Client is outdated! Newer version of Zelquo IP Update "
                        "Client software is available at ") +
                provider::kWebSiteAddress + ".");
}

TEST(ProtocolAnswerTest, ProgressNotes) {
  const struct {
    RequestKind kind;
    ProtocolProgram program;
    const char* note;
  } rows[] = {
      {kAccount, kService, "Updating IP address for username alice."},
      {kAccount, kConsole, "Updating IP address for username alice."},
      {kAccount, kTrayClient, "Updating IP address for username alice.\r\n"},
      {kHost, kService, "Updating IP address for example.org."},
      {kHost, kTrayClient, "Updating IP address for example.org.\r\n"},
      {kAlias, kService, "Updating IP address for alias www.example.org."},
      {kAlias, kTrayClient, "Updating IP address for alias www.example.org.\r\n"},
      {kSingleHost, kConsole, ""},
  };
  for (const auto& row : rows) EXPECT_EQ(ProgressNote(Request(row.kind), row.program), row.note);
  EXPECT_STREQ(kNicDetectionErrorText,
               "Error: IP based on NIC card cannot be detected! Ensure that port 8245 outbound is open if firewall is "
               "active. Please choose a different Connection Type setting so that IP address can be detected "
               "properly.");
}

}  // namespace
}  // namespace zelquo
