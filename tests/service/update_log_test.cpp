// What the service logs of an update (kind, message, text) for each answer, and how it folds
// repeats.
#include "host/repeat_folding.h"
#include "host/update_log_entries.h"

#include <gtest/gtest.h>

#include "protocol/answer_table.h"

namespace zelquo::service {
namespace {

namespace ids = message_ids;
using enum EventType;

ServiceLogEntry EntryFor(RequestKind kind, std::string_view answer, bool forgotten = false) {
  UpdateRequest request;
  request.kind = kind;
  request.user_name = "alice";
  request.host_name = "home.example.org";
  request.alias = kind == RequestKind::kAlias ? "www" : "";
  request.ipv4 = "203.0.113.9";
  request.password_digest = "5ebe2294ecd0e0f08eab7690d2a6ee69";
  const UpdateResult result = InterpretAnswer(request, ProtocolProgram::kService, answer);
  return ExchangeLogEntry(ExchangeReport{request, answer, result, forgotten});
}

TEST(UpdateLogEntries, EachAnswerHasItsKindAndMessage) {
  struct Case {
    RequestKind kind;
    std::string_view answer;
    EventType type;
    std::uint32_t id;
    std::string_view text_starts;
  };
  const Case cases[] = {
      {RequestKind::kHost, "good 203.0.113.9", kInformation, ids::kUpdateSent,
       "home.example.org with 203.0.113.9, answer \"good 203.0.113.9\""},
      {RequestKind::kAccount, "nochg", kInformation, ids::kUpdateSent, "account alice with 203.0.113.9, answer \"nochg\""},
      {RequestKind::kAlias, "noalias", kWarning, ids::kUpdateNotDone,
       "www.home.example.org with 203.0.113.9, answer \"noalias\": [noalias] Alias www.home.example.org does not exist!"},
      {RequestKind::kHost, "nohost", kWarning, ids::kUpdateNotDone, "home.example.org with 203.0.113.9, answer \"nohost\": [nohost]"},
      {RequestKind::kAccount, "abuse", kWarning, ids::kUpdateNotDone, "account alice with 203.0.113.9, answer \"abuse\": [abuse]"},
      {RequestKind::kHost, "notfqdn", kWarning, ids::kUpdateNotDone, "home.example.org with 203.0.113.9, answer \"notfqdn\": [notfqdn]"},
      {RequestKind::kHost, "numhost", kWarning, ids::kUpdateNotDone, "home.example.org with 203.0.113.9, answer \"numhost\": [numhost]"},
      {RequestKind::kHost, "!donator", kWarning, ids::kUpdateNotDone, "home.example.org with 203.0.113.9, answer \"!donator\": [!donator]"},
      {RequestKind::kHost, "dnserr", kWarning, ids::kUpdateNotDone, "home.example.org with 203.0.113.9, answer \"dnserr\": [dnserr]"},
      {RequestKind::kHost, "goodbye", kWarning, ids::kUpdateNotDone, "home.example.org with 203.0.113.9, answer \"goodbye\""},
      {RequestKind::kHost, "911", kWarning, ids::kUpdatesPaused,
       "home.example.org with 203.0.113.9, answer \"911\"; the provider is in maintenance, updates pause for 10 minutes"},
      {RequestKind::kHost, "oldversion", kWarning, ids::kClientOutdated, "home.example.org with 203.0.113.9, answer \"oldversion\""},
      {RequestKind::kHost, "Error:Server Error.", kError, ids::kUpdateFailed, "home.example.org with 203.0.113.9: Error:Server Error."},
      {RequestKind::kHost, "", kError, ids::kUpdateFailed, "home.example.org with 203.0.113.9: no answer"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.answer));
    const ServiceLogEntry entry = EntryFor(c.kind, c.answer);
    EXPECT_EQ(entry.type, c.type);
    EXPECT_EQ(entry.id, c.id);
    EXPECT_TRUE(entry.text.starts_with(c.text_starts)) << entry.text;
    EXPECT_EQ(entry.text.find("5ebe2294"), std::string::npos) << "never the digest";
  }
  EXPECT_TRUE(EntryFor(RequestKind::kHost, "badauth", true).text.ends_with(
      "[badauth] Authentication failed for domain name home.example.org. The stored password was cleared; no update is "
      "sent until it is entered again."));
  EXPECT_EQ(EntryFor(RequestKind::kHost, "badauth", false).text.find("cleared"), std::string::npos)
      << "a password stored meanwhile was kept";
}

TEST(UpdateLogEntries, AHostileAnswerIsCutAndCannotBreakTheLine) {
  const ServiceLogEntry entry = EntryFor(RequestKind::kHost, "evil\r\nzelquoiucsvc: good\x7f" + std::string(500, 'x'));
  EXPECT_EQ(entry.text.find_first_of("\r\n\x7f"), std::string::npos);
  EXPECT_LT(entry.text.size(), 250u);
  EXPECT_TRUE(entry.text.ends_with("...\"")) << entry.text;
}

TEST(RepeatFolding, ARepeatIsWrittenOnceAnHourWithItsCount) {
  auto now = std::chrono::steady_clock::time_point{};
  CRepeatFolding folding([&now] { return now; });
  const ServiceLogEntry down{kError, ids::kUpdateFailed, "home.example.org with 203.0.113.9: Error:Server Error."};
  const ServiceLogEntry other{kWarning, ids::kDetectionFailed, "no address found"};
  EXPECT_EQ(folding.Admit(down), down);
  for (int i = 0; i < 59; ++i) {
    now += std::chrono::minutes(1);
    EXPECT_EQ(folding.Admit(down), std::nullopt) << i;
    EXPECT_EQ(folding.Admit(other).has_value(), i == 0) << "each text folds on its own";
  }
  now += std::chrono::minutes(1);
  const auto again = folding.Admit(down);
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(again->text, down.text + " (60 times since it was last logged)");
  EXPECT_EQ(folding.Admit(down), std::nullopt) << "the next hour begins";
  now += std::chrono::hours(2);
  EXPECT_EQ(folding.Admit(down)->text, down.text + " (2 times since it was last logged)");
  now += std::chrono::hours(2);
  EXPECT_EQ(folding.Admit(down), down) << "a single recurrence after the hour carries no count";
  EXPECT_EQ(folding.Admit(ServiceLogEntry{kWarning, ids::kUpdateFailed, down.text}).has_value(), true)
      << "another kind is another entry";
}

TEST(RepeatFolding, ForgetsTheLeastRecentlyWrittenBeyondItsMemory) {
  auto now = std::chrono::steady_clock::time_point{};
  CRepeatFolding folding([&now] { return now; });
  for (std::size_t i = 0; i <= CRepeatFolding::kRemembered; ++i) {
    now += std::chrono::seconds(1);
    EXPECT_TRUE(folding.Admit(ServiceLogEntry{kWarning, ids::kUpdateNotDone, std::to_string(i)}).has_value());
  }
  EXPECT_TRUE(folding.Admit(ServiceLogEntry{kWarning, ids::kUpdateNotDone, "0"}).has_value()) << "forgotten";
  EXPECT_FALSE(folding.Admit(ServiceLogEntry{kWarning, ids::kUpdateNotDone, "2"}).has_value()) << "still held";
}

}  // namespace
}  // namespace zelquo::service
