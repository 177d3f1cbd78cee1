// The Misc page's logic: the state table, the service programs, Save's poll-interval rule, the
// command's length and the autorun box, on a real settings file.
#include <gtest/gtest.h>

#include "logic/misc_page.h"
#include "settings/settings_path.h"
#include "test_files.h"

namespace zelquo::gui {
namespace {

TEST(MiscPageStateTest, EveryManagerStateHasItsTextAndImage) {
  const struct {
    unsigned long state;
    ServiceStateDisplay shown;
  } rows[] = {
      {0, {"Not installed", 48}}, {1, {"Stopped", 0}},  {2, {"Running", 16}}, {3, {"Stopped", 0}},
      {4, {"Running", 16}},       {5, {"Running", 16}}, {6, {"Paused", 32}},  {7, {"Paused", 32}},
      {8, {"Not installed", 48}},
  };
  for (const auto& row : rows) EXPECT_EQ(DisplayForServiceState(row.state), row.shown) << row.state;
  EXPECT_EQ(UnknownServiceStateDisplay(), (ServiceStateDisplay{"Unknown", 48}));
}

TEST(MiscPagePollIntervalTest, OnlyAWholeNumberParsesAndTheRestReadsAsZero) {
  const struct {
    const char* typed;
    int seconds;
  } rows[] = {{"45", 45}, {"-40", -40}, {"", 0}, {"45s", 0}, {" 45", 0}, {"4.5", 0}, {"99999999999", 0}};
  for (const auto& row : rows) EXPECT_EQ(ParsePollInterval(row.typed), row.seconds) << row.typed;
}

TEST(MiscPageCommandsTest, ActionsRunTheirProgramsByFullPath) {
  const std::string net = "C:\\windows\\system32\\net.exe";
  const struct {
    ServiceAction action;
    const char* module_path;
    std::vector<ServiceCommand> commands;
  } rows[] = {
      {ServiceAction::kStart, "", {{net, {"start", "ZelquoIUCSvc"}}}},
      {ServiceAction::kStop, "", {{net, {"stop", "ZelquoIUCSvc"}}}},
      {ServiceAction::kRestart, "", {{net, {"stop", "ZelquoIUCSvc"}}, {net, {"start", "ZelquoIUCSvc"}}}},
      {ServiceAction::kInstall, "C:\\Apps\\ZelquoIUC.exe", {{"c:\\apps\\zelquoiucsvc.exe", {"-install"}}}},
      {ServiceAction::kInstall, "C:\\Program Files (x86)\\R&D Tools\\zelquoiuc.exe",
       {{"c:\\program files (x86)\\r&d tools\\zelquoiucsvc.exe", {"-install"}}}},
      // Renamed: the name stays in the folder and the path points at nothing.
      {ServiceAction::kInstall, "C:\\Apps\\Client.exe", {{"c:\\apps\\client.exezelquoiucsvc.exe", {"-install"}}}},
      // No path known: nothing that the current folder could complete.
      {ServiceAction::kInstall, "", {}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ServiceActionCommands(row.action, row.module_path, "C:\\windows\\system32"), row.commands)
        << row.module_path;
  }
  // Without the system folder, no net.exe from anywhere else.
  EXPECT_TRUE(ServiceActionCommands(ServiceAction::kStart, "C:\\Apps\\zelquoiuc.exe", "").empty());
  EXPECT_TRUE(ServiceActionCommands(ServiceAction::kRestart, "C:\\Apps\\zelquoiuc.exe", "").empty());
}

class MiscPageSettingsTest : public ::testing::Test {
 protected:
  MiscPageSettingsTest() {
    context_.show_message = [this](const std::string& text) { messages_.push_back(text); };
  }

  testing::CScratchFolder folder_;
  CSettingsFile settings_{folder_.File(kSettingsFileName)};
  PageContext context_{settings_};
  std::vector<std::string> messages_;
};

TEST_F(MiscPageSettingsTest, ReadsDefaultsAndStoredValues) {
  const MiscSettings defaults = ReadMiscSettings(settings_);
  EXPECT_EQ(defaults.poll_interval, 60);
  EXPECT_TRUE(defaults.autorun);
  EXPECT_FALSE(defaults.execute_command);
  EXPECT_EQ(defaults.command, "");
  settings_.WriteText("executecommand", "2");  // only 1 sets the flag
  settings_.WriteText("autorunonstartup", "2");
  EXPECT_FALSE(ReadMiscSettings(settings_).execute_command);
  EXPECT_FALSE(ReadMiscSettings(settings_).autorun);
}

TEST_F(MiscPageSettingsTest, SaveRefusesAPollIntervalBelowThirtyButSavesTheRest) {
  SaveMiscSettings(context_, {true, "notify.cmd", 29, false});
  EXPECT_EQ(messages_, std::vector<std::string>{kPollIntervalMessage});
  MiscSettings read = ReadMiscSettings(settings_);
  EXPECT_EQ(settings_.ReadText("pollinterval", "absent"), "absent");
  EXPECT_TRUE(read.execute_command);
  EXPECT_EQ(read.command, "notify.cmd");
  EXPECT_FALSE(read.autorun);

  SaveMiscSettings(context_, {false, "", 30, true});
  EXPECT_EQ(messages_.size(), 1u);
  read = ReadMiscSettings(settings_);
  EXPECT_EQ(read.poll_interval, 30);
  EXPECT_FALSE(read.execute_command);
  EXPECT_TRUE(read.autorun);
}

TEST_F(MiscPageSettingsTest, ACommandAsLongAsTheFieldAllowsIsStoredWhole) {
  const std::string longest(kMaxStoredTextLength, 'c');
  SaveMiscSettings(context_, {true, longest, 60, true});
  EXPECT_EQ(ReadMiscSettings(settings_).command, longest);
  SaveMiscSettings(context_, {true, longest + "d", 60, true});
  EXPECT_EQ(ReadMiscSettings(settings_).command, longest);
}

TEST_F(MiscPageSettingsTest, AutorunSetsOrEmptiesTheEntryAndKeepsTheFlagWhenItCannot) {
  std::vector<std::string> entries;
  bool writable = true;
  const AutorunSetter setter = [&](std::string_view name, std::string_view data) {
    EXPECT_EQ(name, "Zelquo IP Update Client");
    entries.emplace_back(data);
    return writable;
  };
  EXPECT_TRUE(ApplyAutorun(context_, true, "C:\\Apps\\ZelquoIUC.exe", setter));
  EXPECT_EQ(settings_.ReadInt("autorunonstartup", -1), 1);
  EXPECT_TRUE(ApplyAutorun(context_, false, "C:\\Apps\\ZelquoIUC.exe", setter));
  EXPECT_EQ(settings_.ReadInt("autorunonstartup", -1), 0);
  EXPECT_EQ(entries, (std::vector<std::string>{"c:\\apps\\zelquoiuc.exe", ""}));
  EXPECT_TRUE(messages_.empty());
  writable = false;
  EXPECT_FALSE(ApplyAutorun(context_, true, "C:\\Apps\\ZelquoIUC.exe", setter));
  EXPECT_EQ(messages_, std::vector<std::string>{kAutorunFailedMessage});
  EXPECT_EQ(settings_.ReadInt("autorunonstartup", -1), 0);
}

}  // namespace
}  // namespace zelquo::gui
