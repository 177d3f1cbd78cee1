// The activity log's entry format and trimming, and the start-up's settings check.
#include "logic/activity_log.h"

#include <gtest/gtest.h>

#include "logic/startup_check.h"
#include "crypto/scramble.h"
#include "settings/settings_path.h"
#include "test_files.h"

namespace zelquo::gui {
namespace {

std::tm At(int hour, int minute, int second) {
  std::tm time{};
  time.tm_hour = hour;
  time.tm_min = minute;
  time.tm_sec = second;
  return time;
}

TEST(ActivityLogTest, EntriesAreTwelveHourTimesWithTheTextAndALineBreak) {
  EXPECT_EQ(FormatActivityEntry(At(0, 5, 9), "Started"), "12:05:09 AM>Started\r\n");
  EXPECT_EQ(FormatActivityEntry(At(13, 0, 0), "x\r\n"), "01:00:00 PM>x\r\n\r\n");
}

TEST(ActivityLogTest, TrimmingDropsWholeOldestEntries) {
  const std::string entry = FormatActivityEntry(At(9, 0, 0), std::string(86, 'e'));  // 100 characters
  std::string log;
  for (int i = 0; i < 30; ++i) PrependActivityEntry(log, entry);
  EXPECT_EQ(log.size(), 3000u) << "exactly the limit stays";

  const std::string newest = FormatActivityEntry(At(9, 1, 0), "n");  // one more character would do
  PrependActivityEntry(log, newest);
  EXPECT_EQ(log.substr(0, newest.size()), newest);
  EXPECT_EQ(log.size(), newest.size() + 29 * entry.size()) << "the oldest entry went, no other";

  std::string huge_log = log;
  PrependActivityEntry(huge_log, std::string(3001, 'h') + "\r\n");
  EXPECT_EQ(huge_log, "") << "an entry over the limit with no line break inside leaves nothing";
}

TEST(StartupCheckTest, AStoredPasswordNeverAsksAndMissingNamesDo) {
  testing::CScratchFolder folder;
  const CSettingsFile settings(folder.File(kSettingsFileName));
  EXPECT_TRUE(NeedsSettingsPrompt(settings));
  settings.Write(keys::kUsername, "alice");
  settings.AppendEntry(keys::kDomainNames, "home.example.org");
  EXPECT_TRUE(NeedsSettingsPrompt(settings)) << "no alias yet";
  settings.AppendRow(keys::kAliases, {"www", ""});
  EXPECT_FALSE(NeedsSettingsPrompt(settings)) << "names complete, password still empty";
  settings.Write(keys::kUsername, "");
  settings.Write(keys::kPassword, ScrambleText("secret"));
  EXPECT_FALSE(NeedsSettingsPrompt(settings));
  settings.Write(keys::kPassword, ScrambleText(""));
  EXPECT_TRUE(NeedsSettingsPrompt(settings)) << "the scrambled empty password is no password";
}

}  // namespace
}  // namespace zelquo::gui
