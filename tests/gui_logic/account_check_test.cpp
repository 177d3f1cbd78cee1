// Save's account check against the stand-in provider: what is sent, stored and shown.
#include "logic/account_check.h"

#include <gtest/gtest.h>

#include "crypto/md5.h"
#include "crypto/scramble.h"
#include "settings/settings_path.h"
#include "standin_provider/standin_server.h"
#include "test_files.h"

namespace zelquo::gui {
namespace {

using namespace std::chrono_literals;

TEST(AccountCheckTest, LocalRulesForNamesAndLocations) {
  struct Row {
    std::string text;
    bool account_name, location;
  } rows[] = {
      {"", false, false},          {"abc", false, true},        {"abcd", true, true},
      {std::string(20, 'Z'), true, true},  {std::string(21, '9'), false, true},
      {"ali_ce", false, false},    {"al ice", false, false},    {std::string(50, 'a'), false, true},
      {std::string(51, 'a'), false, false}, {"caf\xc3\xa9", false, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(IsValidAccountName(row.text), row.account_name) << row.text;
    EXPECT_EQ(IsValidLocation(row.text), row.location) << row.text;
  }
}

class SaveAccountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.Write(keys::kServerPort, server_.Listen());
    server_.Start();
    context_.api_host = "127.0.0.1";
    context_.timeout = 5s;
    context_.show_message = [this](const std::string& text) { messages_.push_back(text); };
    context_.request_fresh_update = [this] { ++fresh_updates_; };
  }

  [[nodiscard]] std::vector<std::string> Targets() const { return server_.Targets(); }

  testing::CScratchFolder folder_;
  CSettingsFile settings_{folder_.File(kSettingsFileName)};
  standin::Server server_;
  AccountCheckContext context_{settings_};
  std::vector<std::string> messages_;
  int fresh_updates_ = 0;
};

TEST_F(SaveAccountTest, ConfirmedPasswordAndLocationAreStored) {
  server_.SetReply("/authcheck.asp", standin::Text("true"));
  server_.SetReply("/locationcheck.asp", standin::Text("true"));
  AccountFields fields{"alice", "secret1", "office"};
  SaveAccount(context_, fields);
  const std::string digest = Md5Hex("secret1");
  EXPECT_EQ(Targets(), (std::vector<std::string>{
                           "/authcheck.asp?username=alice&password=" + digest,
                           "/locationcheck.asp?username=alice&password=" + digest + "&location=office"}));
  EXPECT_EQ(settings_.Read(keys::kUsername), "alice");
  EXPECT_EQ(settings_.Read(keys::kPassword), ScrambleText("secret1"));
  EXPECT_EQ(settings_.Read(keys::kLocation), "office");
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(fresh_updates_, 1);
}

TEST_F(SaveAccountTest, OnlyTheExactWordConfirms) {
  settings_.Write(keys::kPassword, ScrambleText("old1"));
  settings_.Write(keys::kLocation, "home");
  server_.SetReply("/authcheck.asp", standin::Text("True"));
  AccountFields fields{"alice", "secret1", "office"};
  SaveAccount(context_, fields);
  EXPECT_EQ(messages_, std::vector<std::string>{
                           "Username alice or password is invalid! Please check the settings and try again."});
  EXPECT_EQ(settings_.Read(keys::kPassword), "") << "the plain empty text, not the scrambled one";
  EXPECT_EQ(fields.password, "");
  EXPECT_EQ(Targets().size(), 1u) << "the emptied password field leaves the location unchecked";
  EXPECT_EQ(settings_.Read(keys::kLocation), "home");
  EXPECT_EQ(fields.location, "office");
}

TEST_F(SaveAccountTest, EmptyFieldsAreStoredWithoutRequests) {
  AccountFields fields;
  SaveAccount(context_, fields);
  EXPECT_TRUE(Targets().empty());
  EXPECT_EQ(settings_.Read(keys::kPassword), ScrambleText(""));
  EXPECT_EQ(settings_.ReadText("username", "absent"), "");
  EXPECT_EQ(settings_.ReadText("location", "absent"), "");
  EXPECT_EQ(fresh_updates_, 1);
}

TEST_F(SaveAccountTest, LocallyInvalidFieldsShowTheirMessagesAndTheRestGoesOn) {
  settings_.Write(keys::kUsername, "kept");
  server_.SetReply("/authcheck.asp", standin::Text("true"));
  server_.SetReply("/locationcheck.asp", standin::Text("false"));
  AccountFields fields{"abc", "secret1", "unknownplace"};
  SaveAccount(context_, fields);
  EXPECT_EQ(settings_.Read(keys::kUsername), "kept");
  EXPECT_EQ(Targets().size(), 1u) << "the password is checked with the refused username; the location is not";
  EXPECT_EQ(Targets().at(0).rfind("/authcheck.asp?username=abc&", 0), 0u);

  fields = {"alice", "secret1", std::string(51, 'l')};
  SaveAccount(context_, fields);
  fields = {"alice", "secret1", "unknownplace"};
  SaveAccount(context_, fields);
  EXPECT_EQ(messages_, (std::vector<std::string>{
                           "Please enter a valid username - 4-20 characters (0-9, a-z, A-Z)",
                           "Please enter a valid location - 1-50 characters (0-9, a-z, A-Z)",
                           "Location 'unknownplace' could not be found. You can set up locations in the web "
                           "control panel or leave the field empty if you are not using this feature."}));
  EXPECT_EQ(fields.location, "");
  EXPECT_EQ(settings_.Read(keys::kLocation), "");
}

// Only the provider refuses: with no answer at all, what is stored stays and the fields keep
// what was typed, for an unreachable server as for a proxy's error status.
TEST_F(SaveAccountTest, WithoutAnAnswerNothingStoredIsLost) {
  settings_.Write(keys::kPassword, ScrambleText("old1"));
  settings_.Write(keys::kLocation, "home");
  server_.SetReply("/authcheck.asp", standin::Status(503));
  server_.SetReply("/locationcheck.asp", standin::Status(503));
  AccountFields fields{"alice", "secret1", "office"};
  SaveAccount(context_, fields);
  server_.Stop();
  SaveAccount(context_, fields);
  EXPECT_EQ(messages_, (std::vector<std::string>{
                           "Username alice and password could not be checked: Error:Server capacity reached. "
                           "The stored password was kept.",
                           "Location 'office' could not be checked: Error:Server capacity reached. The stored "
                           "location was kept.",
                           "Username alice and password could not be checked: Error:Server Error. The stored "
                           "password was kept.",
                           "Location 'office' could not be checked: Error:Server Error. The stored location "
                           "was kept."}));
  EXPECT_EQ(settings_.Read(keys::kPassword), ScrambleText("old1"));
  EXPECT_EQ(settings_.Read(keys::kLocation), "home");
  EXPECT_EQ(fields.password, "secret1");
  EXPECT_EQ(fields.location, "office");
}

}  // namespace
}  // namespace zelquo::gui
