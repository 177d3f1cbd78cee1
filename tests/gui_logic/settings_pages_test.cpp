// The Connection Type, Ignore IP List and SignOff Settings pages' logic on a real settings file:
// what each page shows from the stored keys and what its buttons write.
#include <gtest/gtest.h>

#include "logic/connection_type_page.h"
#include "logic/ignore_ip_page.h"
#include "logic/sign_off_page.h"
#include "settings/settings_path.h"
#include "test_files.h"

namespace zelquo::gui {
namespace {

class SettingsPagesTest : public ::testing::Test {
 protected:
  SettingsPagesTest() { context_.request_fresh_update = [this] { ++fresh_updates_; }; }

  // The file's lines after the section header, in the order they were first written, each
  // ended by "\n" whatever the platform's line break.
  [[nodiscard]] std::string Lines() const {
    std::string bytes = testing::ReadBytes(settings_.Path());
    std::erase(bytes, '\r');
    const std::size_t header_end = bytes.find('\n');
    return header_end == std::string::npos ? "" : bytes.substr(header_end + 1);
  }

  testing::CScratchFolder folder_;
  CSettingsFile settings_{folder_.File(kSettingsFileName)};
  PageContext context_{settings_};
  int fresh_updates_ = 0;
};

TEST_F(SettingsPagesTest, ConnectionTypeReadsEachStoredMethod) {
  const struct {
    const char* stored;  // nullptr: absent
    IpMethodChoice shown;
  } rows[] = {
      {nullptr, IpMethodChoice::kServerSide},   {"0", IpMethodChoice::kClientSide},
      {"2", IpMethodChoice::kBothSides},        {"3", IpMethodChoice::kStaticAddress},
      {"4", IpMethodChoice::kNetworkCard},      {"5", IpMethodChoice::kServerSide},
      {"-1", IpMethodChoice::kServerSide},
  };
  for (const auto& row : rows) {
    if (row.stored) settings_.WriteText(keys::kIpMethod.name, row.stored);
    EXPECT_EQ(ReadConnectionType(settings_).method, row.shown) << (row.stored ? row.stored : "absent");
  }
  EXPECT_EQ(ReadConnectionType(settings_).static_address, (std::array<int, 4>{0, 0, 0, 0}));
  EXPECT_FALSE(ReadConnectionType(settings_).use_alternative_port);
  settings_.WriteInt("one", 192);
  settings_.WriteInt("four", 7);
  settings_.Write(keys::kServerPort, 8245);
  const ConnectionType read = ReadConnectionType(settings_);
  EXPECT_EQ(read.static_address, (std::array<int, 4>{192, 0, 0, 7}));
  EXPECT_TRUE(read.use_alternative_port);
}

TEST_F(SettingsPagesTest, ConnectionTypeSaveWritesInOrder) {
  SaveConnectionType(context_, {IpMethodChoice::kStaticAddress, {198, 51, 100, 23}, true});
  EXPECT_EQ(Lines(), "ipmethod=3\none=198\ntwo=51\nthree=100\nfour=23\nserverport=8245\n");
  EXPECT_EQ(fresh_updates_, 1);

  SaveConnectionType(context_, {IpMethodChoice::kNetworkCard, {1, 2, 3, 4}, false});
  EXPECT_EQ(Lines(), "ipmethod=4\none=198\ntwo=51\nthree=100\nfour=23\nserverport=80\nipaddress=\n")
      << "the hidden method is kept and the stored address is left alone";
  EXPECT_EQ(fresh_updates_, 2);
}

TEST_F(SettingsPagesTest, ConnectionTypeIpv6FlagIsWrittenOnlyOnceItWasOn) {
  ConnectionType choice{IpMethodChoice::kServerSide, {}, false};
  SaveConnectionType(context_, choice);
  EXPECT_EQ(Lines(), "ipmethod=1\nipaddress=\nserverport=80\n") << "off and never on: no key";
  choice.update_ipv6 = true;
  SaveConnectionType(context_, choice);
  EXPECT_EQ(Lines(), "ipmethod=1\nipaddress=\nserverport=80\nupdateipv6=1\n");
  EXPECT_TRUE(ReadConnectionType(settings_).update_ipv6);
  settings_.Write(keys::kUpdatedIpV6, "2001:db8::1");
  choice.update_ipv6 = false;
  SaveConnectionType(context_, choice);
  EXPECT_EQ(Lines(), "ipmethod=1\nipaddress=\nserverport=80\nupdateipv6=0\nupdatedipv6=\n")
      << "switched off, the address nobody keeps current is no longer shown";
  EXPECT_EQ(fresh_updates_, 3);
}

TEST_F(SettingsPagesTest, IgnoreListAddAndRemove) {
  for (const char* entry : {"10.0.", "192.168.1.1", "", "10.0.", "172.16"}) AddIgnoredAddress(context_, entry);
  EXPECT_EQ(IgnoreListText(settings_), "10.0.\r\n192.168.1.1\r\n10.0.\r\n172.16\r\n") << "the empty text is not stored";
  RemoveIgnoredAddress(context_, "10.0");    // no entry is exactly this
  RemoveIgnoredAddress(context_, "10.0.");   // the first of two
  EXPECT_EQ(IgnoreListText(settings_), "192.168.1.1\r\n10.0.\r\n172.16\r\n");
  EXPECT_EQ(settings_.ReadText("ignoreip4", ""), "172.16");
  EXPECT_EQ(fresh_updates_, 7);
}

TEST_F(SettingsPagesTest, SignOffReadAndSave) {
  EXPECT_EQ(ReadSignOffSettings(settings_).choice, SignOffChoice::kNoChange);
  settings_.Write(keys::kSignOffMethod, 9);
  EXPECT_EQ(ReadSignOffSettings(settings_).choice, SignOffChoice::kNoChange);

  settings_.Write(keys::kIpAddress, "198.51.100.1");
  SaveSignOffSettings(settings_, {SignOffChoice::kGivenAddress, {203, 0, 113, 5}});
  EXPECT_EQ(Lines(), "signoffmethod=3\nipaddress=\nsignoffone=203\nsignofftwo=0\nsignoffthree=113\nsignofffour=5\n");
  const SignOffSettings read = ReadSignOffSettings(settings_);
  EXPECT_EQ(read.choice, SignOffChoice::kGivenAddress);
  EXPECT_EQ(read.address, (std::array<int, 4>{203, 0, 113, 5}));

  SaveSignOffSettings(settings_, {SignOffChoice::kZeroAddress, {1, 1, 1, 1}});
  EXPECT_EQ(ReadSignOffSettings(settings_).choice, SignOffChoice::kZeroAddress);
  EXPECT_EQ(ReadSignOffSettings(settings_).address, (std::array<int, 4>{203, 0, 113, 5}));
}

}  // namespace
}  // namespace zelquo::gui
