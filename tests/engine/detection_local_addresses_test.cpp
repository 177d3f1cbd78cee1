#include "detection/local_addresses.h"

#include <gtest/gtest.h>

#include "test_files.h"

namespace zelquo {
namespace {

class LocalAddressesTest : public ::testing::Test {
 protected:
  void Ignore(std::initializer_list<const char*> entries) const {
    for (const char* entry : entries) settings_.AppendEntry(keys::kIgnoreList, entry);
  }

  testing::CScratchFolder folder_;
  CSettingsFile settings_{folder_.File("ZelquoIUC.ini")};
};

TEST(IsPrivateAddressTest, PrefixTable) {
  const struct {
    const char* address;
    bool is_private;
  } kRows[] = {
      {"127.0.0.1", true},     {"127.0.0.2", false},   {"10.1.2.3", true},       {"10.0.0.0", true},
      {"100.10.0.1", false},   {"100.64.0.1", false},  {"172.15.0.1", false},    {"172.16.0.1", true},
      {"172.31.255.1", true},  {"172.32.0.1", false},  {"172.1.0.1", false},     {"192.168.1.20", true},
      {"192.169.1.1", false},  {"169.254.3.4", true},  {"169.25.1.1", false},    {"203.0.113.9", false},
      // Without a final dot the last two prefixes also take a longer second number.
      {"192.1680.1.1", true},  {"169.2540.1.1", true}, {"1.10.0.1", false},      {"", false},
  };
  for (const auto& row : kRows) EXPECT_EQ(IsPrivateAddress(row.address), row.is_private) << row.address;
}

TEST_F(LocalAddressesTest, PublicBeforePrivateInInputOrder) {
  EXPECT_EQ(OrderAddressList("192.168.1.20&127.0.0.1&203.0.113.9&", settings_),
            "203.0.113.9&192.168.1.20&127.0.0.1&");
  EXPECT_EQ(OrderAddressList("10.0.0.1&198.51.100.7&172.16.0.1&100.64.0.1&", settings_),
            "198.51.100.7&100.64.0.1&10.0.0.1&172.16.0.1&");
  EXPECT_EQ(OrderAddressList("", settings_), "");
  // A last address without its "&" still counts, and gets one.
  EXPECT_EQ(OrderAddressList("10.0.0.1&203.0.113.9", settings_), "203.0.113.9&10.0.0.1&");
}

TEST_F(LocalAddressesTest, NothingIgnoredWithoutEntries) {
  EXPECT_FALSE(IsIgnoredAddress("203.0.113.9", settings_));
  settings_.WriteInt(keys::kIgnoreList.count, 0);
  EXPECT_FALSE(IsIgnoredAddress("203.0.113.9", settings_));
}

TEST_F(LocalAddressesTest, IgnoreEntryMatchesAnyPieceOfTheAddress) {
  Ignore({"192.168"});
  EXPECT_TRUE(IsIgnoredAddress("192.168.1.20", settings_));
  EXPECT_TRUE(IsIgnoredAddress("10.192.168.5", settings_));
  EXPECT_FALSE(IsIgnoredAddress("192.16.8.1", settings_));
  EXPECT_EQ(OrderAddressList("10.192.168.5&192.168.1.20&203.0.113.9&10.0.0.1&", settings_), "203.0.113.9&10.0.0.1&");
}

TEST_F(LocalAddressesTest, LaterEntriesAreReadToo) {
  Ignore({"203.0.113.9", ".7"});
  EXPECT_TRUE(IsIgnoredAddress("198.51.100.7", settings_));
  EXPECT_FALSE(IsIgnoredAddress("198.51.100.8", settings_));
}

TEST_F(LocalAddressesTest, EntryThatReadsEmptyIgnoresEverything) {
  Ignore({"203.0.113.9"});
  settings_.WriteInt(keys::kIgnoreList.count, 2);  // entry 2 was never written
  EXPECT_TRUE(IsIgnoredAddress("10.0.0.1", settings_));
  EXPECT_EQ(GetLocalAddressList(settings_, [] { return std::string("10.0.0.1&203.0.113.7&"); }), "");
}

TEST_F(LocalAddressesTest, IgnoreListIsReadOnEveryCall) {
  EXPECT_FALSE(IsIgnoredAddress("203.0.113.9", settings_));
  Ignore({"113"});
  EXPECT_TRUE(IsIgnoredAddress("203.0.113.9", settings_));
}

TEST_F(LocalAddressesTest, LocalListIsFilteredAndOrdered) {
  Ignore({"198.51"});
  const auto source = [] { return std::string("192.168.1.20&127.0.0.1&198.51.100.7&203.0.113.9&"); };
  EXPECT_EQ(GetLocalAddressList(settings_, source), "203.0.113.9&192.168.1.20&127.0.0.1&");
}

// Names are resolved in the network namespace tests, where no query leaves the machine.
TEST(ResolveAddressListTest, DottedAddressResolvesToItself) {
  EXPECT_EQ(ResolveAddressList("127.0.0.1"), "127.0.0.1&");
}

}  // namespace
}  // namespace zelquo
