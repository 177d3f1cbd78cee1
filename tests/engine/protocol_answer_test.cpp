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

struct MessageRow {
  std::vector<ProtocolProgram> programs;
  RequestKind kind;
  std::string answer;
  AnswerCode code;
  std::string message;
};

void CheckMessages(const std::vector<MessageRow>& rows) {
  for (const MessageRow& row : rows) {
    for (const ProtocolProgram program : row.programs) {
      const UpdateResult result = InterpretAnswer(Request(row.kind), program, row.answer);
      const std::string where = "answer \"" + row.answer + "\", kind " + std::to_string(static_cast<int>(row.kind)) +
                                ", program " + std::to_string(static_cast<int>(program));
      EXPECT_EQ(AnswerCodeWord(result.code), AnswerCodeWord(row.code)) << where;
      EXPECT_EQ(result.message, row.message) << where;
    }
  }
}

const std::string kGoodAnswer = std::string("good ") + kAddress;
const std::vector<ProtocolProgram> k443 = {kTrayClient, kService};
const std::vector<ProtocolProgram> kTray = {kTrayClient};
const std::vector<ProtocolProgram> kSvc = {kService};
const std::vector<ProtocolProgram> kCon = {kConsole};

TEST(ProtocolAnswerTest, Version443Messages) {
  using enum AnswerCode;
  CheckMessages({
      // Account column.
      {k443, kAccount, "dnserr", kDnsErr, "[dnserr] IP update rescheduled due to fault on server side."},
      {k443, kAccount, "911", k911,
       "[911] IP update suspended temporarily due to scheduled maintenance on server side."},
      {k443, kAccount, "notfqdn", kNotFqdn, "[notfqdn] Domain name  is not a fully qualified hostname."},
      {k443, kAccount, "nochg", kNoChg, "[nochg] IP address was not updated due to no change."},
      {k443, kAccount, "abuse", kAbuse,
       "[abuse] IP address for username alice was not updated due to abusive IP update behaviour."},
      {k443, kAccount, "nohost", kNoHost,
       "[nohost] No host was found for username alice! Please check the settings and try again."},
      {k443, kAccount, "numhost", kNumHost, "[numhost] Too many hosts (more than 20) specified in an update."},
      {k443, kAccount, "!donator", kNotDonator, "[!donator] This option is only available for members."},
      {k443, kAccount, "badauth", kBadAuth,
       "[badauth] Username alice or password is invalid! Please check the settings and try again."},
      {k443, kAccount, "noalias", kOther, ""},
      {k443, kAccount, "oldversion", kOldVersion, ""},
      {kSvc, kAccount, kGoodAnswer, kGood, "[good] IP updated with 203.0.113.9 for username alice"},
      {kTray, kAccount, kGoodAnswer, kGood, "[good] IP updated with 203.0.113.9 for username alice and location home"},
      // Host column.
      {k443, kHost, "dnserr", kDnsErr, "[dnserr] IP update rescheduled due to fault on server side."},
      {k443, kHost, "911", k911, "[911] IP update suspended temporarily due to scheduled maintenance on server side."},
      {k443, kHost, "notfqdn", kNotFqdn, "[notfqdn] Domain name example.org is not a fully qualified hostname."},
      {k443, kHost, "nochg", kNoChg, "[nochg] IP address not changed for domain name example.org."},
      {k443, kHost, "abuse", kAbuse,
       "[abuse] IP address for domain name example.org was not updated due to abusive IP update behaviour."},
      {k443, kHost, "nohost", kNoHost,
       "[nohost] Domain name example.org is invalid! Please check the settings and try again."},
      {k443, kHost, "numhost", kNumHost, "[numhost] Too many hosts (more than 20) specified in an update."},
      {k443, kHost, "!donator", kNotDonator, "[!donator] This option is only available for members."},
      {k443, kHost, "badauth", kBadAuth, "[badauth] Authentication failed for domain name example.org."},
      {k443, kHost, "noalias", kOther, ""},
      {k443, kHost, "oldversion", kOldVersion, ""},
      {k443, kHost, kGoodAnswer, kGood, "[good] IP updated with 203.0.113.9 for domain name example.org"},
      // Alias column.
      {k443, kAlias, "dnserr", kDnsErr, "[dnserr] IP update rescheduled due to fault on server side."},
      {k443, kAlias, "911", k911, "[911] IP update suspended temporarily due to scheduled maintenance on server side."},
      {k443, kAlias, "notfqdn", kNotFqdn, "[notfqdn] Domain name example.org is not a fully qualified hostname."},
      {k443, kAlias, "nochg", kNoChg, "[nochg] IP address not changed for hostname www.example.org."},
      {k443, kAlias, "abuse", kAbuse,
       "[abuse] IP address for hostname www.example.org was not updated due to abusive IP update behaviour."},
      {k443, kAlias, "nohost", kNoHost,
       "[nohost] Hostname www.example.org is invalid! Please check the settings and try again."},
      {k443, kAlias, "numhost", kNumHost, "[numhost] Too many hosts (more than 20) specified in an update."},
      {k443, kAlias, "!donator", kNotDonator, "[!donator] This option is only available for members."},
      {k443, kAlias, "badauth", kBadAuth, "[badauth] Authentication failed for hostname www.example.org."},
      {k443, kAlias, "noalias", kNoAlias,
       "[noalias] Alias www.example.org does not exist! Please add it in the ALIAS section of Zelquo control panel."},
      {k443, kAlias, "oldversion", kOldVersion, ""},
      {k443, kAlias, kGoodAnswer, kGood, "[good] IP updated with 203.0.113.9 for alias www.example.org"},
  });
}

TEST(ProtocolAnswerTest, ConsoleMessages) {
  using enum AnswerCode;
  CheckMessages({
      // Account request: no line end, "good" with a final period, no oldversion, no noalias.
      {kCon, kAccount, "dnserr", kDnsErr, "[dnserr] IP update rescheduled due to fault on server side."},
      {kCon, kAccount, "911", k911, "[911] IP update suspended temporarily due to scheduled maintenance on server side."},
      {kCon, kAccount, "notfqdn", kNotFqdn, "[notfqdn] Domain name  is not a fully qualified hostname."},
      {kCon, kAccount, "nochg", kNoChg, "[nochg] IP address was not updated due to no change."},
      {kCon, kAccount, "abuse", kAbuse,
       "[abuse] IP address for username alice was not updated due to abusive IP update behaviour."},
      {kCon, kAccount, "nohost", kNoHost,
       "[nohost] No host was found for username alice! Please check the settings and try again."},
      {kCon, kAccount, "numhost", kNumHost, "[numhost] Too many hosts (more than 20) specified in an update."},
      {kCon, kAccount, "!donator", kNotDonator, "[!donator] This option is only available for members."},
      {kCon, kAccount, "badauth", kBadAuth,
       "[badauth] Username alice or password is invalid! Please check the settings and try again."},
      {kCon, kAccount, "noalias", kOther, ""},
      {kCon, kAccount, "oldversion", kOther, ""},
      {kCon, kAccount, kGoodAnswer, kGood, "[good] IP updated with 203.0.113.9 for username alice."},
      // Host request: every message ends "\r\n"; "good" has no period.
      {kCon, kHost, "dnserr", kDnsErr, "[dnserr] IP update rescheduled due to fault on server side.\r\n"},
      {kCon, kHost, "911", k911,
       "[911] IP update suspended temporarily due to scheduled maintenance on server side.\r\n"},
      {kCon, kHost, "notfqdn", kNotFqdn, "[notfqdn] Domain name example.org is not a fully qualified hostname.\r\n"},
      {kCon, kHost, "nochg", kNoChg, "[nochg] IP address not changed for domain name example.org.\r\n"},
      {kCon, kHost, "abuse", kAbuse,
       "[abuse] IP address for domain name example.org was not updated due to abusive IP update behaviour.\r\n"},
      {kCon, kHost, "nohost", kNoHost,
       "[nohost] Domain name example.org is invalid! Please check the settings and try again.\r\n"},
      {kCon, kHost, "numhost", kNumHost, "[numhost] Too many hosts (more than 20) specified in an update.\r\n"},
      {kCon, kHost, "!donator", kNotDonator, "[!donator] This option is only available for members.\r\n"},
      {kCon, kHost, "badauth", kBadAuth, "[badauth] Authentication failed for domain name example.org.\r\n"},
      {kCon, kHost, "oldversion", kOther, ""},
      {kCon, kHost, kGoodAnswer, kGood, "[good] IP updated with 203.0.113.9 for domain name example.org\r\n"},
      // Alias request.
      {kCon, kAlias, "dnserr", kDnsErr, "[dnserr] IP update rescheduled due to fault on server side.\r\n"},
      {kCon, kAlias, "911", k911,
       "[911] IP update suspended temporarily due to scheduled maintenance on server side.\r\n"},
      {kCon, kAlias, "notfqdn", kNotFqdn, "[notfqdn] Domain name example.org is not a fully qualified hostname.\r\n"},
      {kCon, kAlias, "nochg", kNoChg, "[nochg] IP address not changed for hostname www.example.org.\r\n"},
      {kCon, kAlias, "abuse", kAbuse,
       "[abuse] IP address for hostname www.example.org was not updated due to abusive IP update behaviour.\r\n"},
      {kCon, kAlias, "nohost", kNoHost,
       "[nohost] Hostname www.example.org is invalid! Please check the settings and try again.\r\n"},
      {kCon, kAlias, "numhost", kNumHost, "[numhost] Too many hosts (more than 20) specified in an update.\r\n"},
      {kCon, kAlias, "!donator", kNotDonator, "[!donator] This option is only available for members.\r\n"},
      {kCon, kAlias, "badauth", kBadAuth, "[badauth] Authentication failed for hostname www.example.org.\r\n"},
      {kCon, kAlias, "noalias", kNoAlias,
       "[noalias] Alias www.example.org does not exist! Please add it in the ALIAS section of Zelquo control "
       "panel.\r\n"},
      {kCon, kAlias, "oldversion", kOther, ""},
      {kCon, kAlias, kGoodAnswer, kGood, "[good] IP updated with 203.0.113.9 for alias www.example.org\r\n"},
      // Single-host request: its own texts; an unmatched answer is its own message.
      {kCon, kSingleHost, kGoodAnswer, kGood, "[good] Hostname example.org updated with IP address 203.0.113.9"},
      {kCon, kSingleHost, "dnserr", kDnsErr, "[dnserr] IP update failed due to server side fault."},
      {kCon, kSingleHost, "911", k911,
       "[911] IP update suspended temporarily due to scheduled maintenance on server side."},
      {kCon, kSingleHost, "notfqdn", kNotFqdn, "[notfqdn] Hostname example.org is not a fully qualified hostname."},
      {kCon, kSingleHost, "nochg", kNoChg, "[nochg] IP address not changed for hostname example.org."},
      {kCon, kSingleHost, "abuse", kAbuse,
       "[abuse] IP address for hostname www.example.org was not updated due to abusive IP update behaviour."},
      {kCon, kSingleHost, "noalias", kNoAlias,
       "[noalias] Alias www.example.org does not exist! Please add it in the ALIAS section of Zelquo control panel."},
      {kCon, kSingleHost, "!donator", kNotDonator, "[!donator] This option is only available for members."},
      {kCon, kSingleHost, "badauth", kBadAuth, "[badauth] Authentication failed for hostname example.org."},
      {kCon, kSingleHost, "Error:Server Error.", kError,
       "[error] Update could not be performed! Are you connected to the internet? If so, are you behind a "
       "restricted proxy or firewall?"},
      {kCon, kSingleHost, "nohost", kNoHost, "[nohost] Hostname example.org is invalid."},
      {kCon, kSingleHost, "numhost", kOther, "numhost"},
      {kCon, kSingleHost, "oldversion", kOther, "oldversion"},
      {kCon, kSingleHost, "", kOther, ""},
  });
}

TEST(ProtocolAnswerTest, Version443Outcomes) {
  using enum Settles;
  using enum SideEffect;
  const struct {
    std::string answer;
    Settles account, host, alias;
    SideEffect tray, service;
    std::string status_line;
  } rows[] = {
      {"dnserr", kNo, kNo, kNo, kNone, kNone, ""},
      {"911", kNo, kNo, kNo, kPause, kPause, "[911] IP update suspended temporarily..."},
      {"notfqdn", kYes, kYes, kYes, kNone, kNone, ""},
      {"nochg", kYes, kYes, kYes, kNone, kNone, ""},
      {"abuse", kNo, kYes, kYes, kNone, kNone, ""},
      {"nohost", kYes, kYes, kYes, kNone, kNone, ""},
      {"numhost", kNo, kNo, kNo, kNone, kNone, ""},
      {"!donator", kNo, kYes, kNo, kNone, kNone, ""},
      {"badauth", kYes, kYes, kYes, kForgetPassword, kForgetPassword, ""},
      {"noalias", kUnchanged, kUnchanged, kYes, kNone, kNone, ""},
      {"oldversion", kUnchanged, kUnchanged, kUnchanged, kOutdatedNotice, kNone, ""},
      {kGoodAnswer, kYes, kYes, kYes, kNone, kNone, ""},
      {"Error:Server Error.", kUnchanged, kUnchanged, kUnchanged, kNone, kNone, ""},
      {"something else", kUnchanged, kUnchanged, kUnchanged, kNone, kNone, ""},
  };
  for (const auto& row : rows) {
    for (const ProtocolProgram program : k443) {
      const SideEffect effect = program == kTrayClient ? row.tray : row.service;
      const std::pair<RequestKind, Settles> kinds[] = {{kAccount, row.account}, {kHost, row.host}, {kAlias, row.alias}};
      for (const auto& [kind, settles] : kinds) {
        const UpdateResult result = InterpretAnswer(Request(kind), program, row.answer);
        const std::string where = row.answer + ", kind " + std::to_string(static_cast<int>(kind)) + ", program " +
                                  std::to_string(static_cast<int>(program));
        EXPECT_EQ(result.settles, settles) << where;
        EXPECT_EQ(result.side_effect, effect) << where;
        EXPECT_EQ(result.status_line, row.status_line) << where;
      }
    }
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

TEST(ProtocolAnswerTest, GoodNeedsItsSpaceExceptInTheSingleHostRequest) {
  for (const ProtocolProgram program : {kTrayClient, kService, kConsole}) {
    for (const RequestKind kind : {kAccount, kHost, kAlias}) {
      const UpdateResult result = InterpretAnswer(Request(kind), program, "good");
      EXPECT_EQ(result.code, AnswerCode::kOther);
      EXPECT_EQ(result.message, "");
      EXPECT_EQ(result.settles, Settles::kUnchanged);
      EXPECT_EQ(InterpretAnswer(Request(kind), program, "goodbye").code, AnswerCode::kOther);
    }
  }
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
    for (const ProtocolProgram program : {kTrayClient, kService, kConsole}) {
      for (const RequestKind kind : {kAccount, kHost, kAlias}) {
        const UpdateResult result = InterpretAnswer(Request(kind), program, answer);
        EXPECT_EQ(result.code, AnswerCode::kOther) << answer;
        EXPECT_EQ(result.message, "") << answer;
        EXPECT_EQ(result.settles, Settles::kUnchanged) << answer;
      }
    }
    const UpdateResult single = InterpretAnswer(Request(kSingleHost), kConsole, answer);
    EXPECT_EQ(single.code, AnswerCode::kOther) << answer;
    EXPECT_EQ(single.message, answer) << "the single-host request shows an unmatched answer as it is";
  }
}

TEST(ProtocolAnswerTest, HttpFailureTexts) {
  for (const char* answer : {"Error:Server Error.", "Error: Access denied.", "Error:Malformed url."}) {
    for (const ProtocolProgram program : {kTrayClient, kService, kConsole}) {
      for (const RequestKind kind : {kAccount, kHost, kAlias}) {
        const UpdateResult result = InterpretAnswer(Request(kind), program, answer);
        EXPECT_EQ(result.code, AnswerCode::kOther) << answer;
        EXPECT_EQ(result.message, "") << answer;
        EXPECT_EQ(result.settles, Settles::kUnchanged) << answer;
        EXPECT_EQ(result.side_effect, SideEffect::kNone) << answer;
      }
    }
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
