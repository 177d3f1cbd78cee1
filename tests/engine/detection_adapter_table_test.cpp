#include "detection/adapter_table.h"

#include <gtest/gtest.h>

#include "fake_adapter_source.h"

namespace zelquo {
namespace {

using testing::Address;
using testing::Card;

constexpr std::initializer_list<std::uint8_t> kMac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

std::vector<AdapterEntry> Entries(const platform::AdapterRows& rows, bool include_dest = false,
                                  bool include_no_mac = false) {
  return detail::AdapterEntriesOf(rows, include_dest, include_no_mac);
}

TEST(AdapterTableTest, MacAndAddressTexts) {
  AdapterEntry entry;
  entry.mac_length = 6;
  const std::uint8_t mac[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  std::copy(std::begin(mac), std::end(mac), entry.mac.begin());
  entry.address = {203, 0, 113, 9};
  EXPECT_EQ(MacText(entry), "00-1A-2B-3C-4D-5E");
  EXPECT_EQ(AddressText(entry), "203.0.113.9");
  entry.mac_length = 0;
  EXPECT_EQ(MacText(entry), "");
}

TEST(AdapterTableTest, EachAddressGetsItsOwnCard) {
  platform::AdapterRows rows;
  rows.interfaces = {Card(1, {}, "lo", 24), Card(7, kMac, "eth0"), Card(9, {2, 0, 0, 0, 0, 9}, "eth1")};
  rows.addresses = {Address(9, {10, 0, 0, 1}), Address(1, {127, 0, 0, 1}, {255, 0, 0, 0}),
                    Address(7, {203, 0, 113, 9}), Address(7, {192, 168, 1, 20}), Address(4, {10, 9, 9, 9})};
  const std::vector<AdapterEntry> entries = Entries(rows);
  ASSERT_EQ(entries.size(), 3U);  // the loopback card has no MAC; index 4 has no card
  EXPECT_EQ(AddressText(entries[0]), "10.0.0.1");
  EXPECT_EQ(MacText(entries[0]), "02-00-00-00-00-09");
  EXPECT_EQ(AddressText(entries[1]), "203.0.113.9");
  EXPECT_EQ(AddressText(entries[2]), "192.168.1.20");
  EXPECT_EQ(MacText(entries[1]), MacText(entries[2]));  // two addresses on one card
  EXPECT_EQ(entries[1].type, 6);
  EXPECT_EQ((entries[1].mask), (std::array<std::uint8_t, 4>{255, 255, 255, 0}));
  EXPECT_STREQ(entries[1].description.data(), "eth0");
}

TEST(AdapterTableTest, CardsWithoutUsableMacAreLeftOut) {
  const struct {
    const char* name;
    std::initializer_list<std::uint8_t> mac;
    bool include_dest;
    bool include_no_mac;
    bool offered;
  } kRows[] = {
      {"ordinary", {2, 0, 0, 0, 0, 1}, false, false, true},
      {"DEST", {0x44, 0x45, 0x53, 0x54, 0, 0}, false, false, false},
      {"DEST when asked for", {0x44, 0x45, 0x53, 0x54, 0, 0}, true, false, true},
      {"DES only", {0x44, 0x45, 0x53, 0x55, 0, 0}, false, false, true},
      {"all zero", {0, 0, 0, 0, 0, 0}, true, true, false},
      {"zero first six", {0, 0, 0, 0, 0, 0, 1, 2}, false, false, false},
      {"no MAC", {}, false, false, false},
      // An empty MAC reads as six zero bytes, so it stays out even when asked for.
      {"no MAC when asked for", {}, false, true, false},
      {"short but not zero", {0, 0, 1}, false, false, true},
  };
  for (const auto& row : kRows) {
    platform::AdapterRows rows;
    rows.interfaces = {Card(3, row.mac)};
    rows.addresses = {Address(3, {198, 51, 100, 7})};
    EXPECT_EQ(Entries(rows, row.include_dest, row.include_no_mac).size(), row.offered ? 1U : 0U) << row.name;
  }
}

TEST(AdapterTableTest, LongMacIsCutAndDescriptionKeepsItsZero) {
  platform::AdapterRows rows;
  platform::InterfaceRow card = Card(2, {}, std::string(100, 'd'));
  card.mac_length = 20;  // more than the entry holds
  card.mac.fill(0xAB);
  rows.interfaces = {card};
  rows.addresses = {Address(2, {198, 51, 100, 7})};
  const std::vector<AdapterEntry> entries = Entries(rows);
  ASSERT_EQ(entries.size(), 1U);
  EXPECT_EQ(entries[0].mac_length, platform::kMaxMacLength);
  EXPECT_EQ(std::string(entries[0].description.data()), std::string(63, 'd'));
}

TEST(AdapterTableTest, FirstCardOfAnIndexWins) {
  platform::AdapterRows rows;
  rows.interfaces = {Card(5, {2, 0, 0, 0, 0, 1}, "first"), Card(5, {2, 0, 0, 0, 0, 2}, "second")};
  rows.addresses = {Address(5, {198, 51, 100, 7})};
  const std::vector<AdapterEntry> entries = Entries(rows);
  ASSERT_EQ(entries.size(), 1U);
  EXPECT_STREQ(entries[0].description.data(), "first");
}

TEST(AdapterTableTest, WalkCountsWhatFillWrites) {
  platform::AdapterRows rows;
  rows.interfaces = {Card(1, {}, "lo", 24), Card(2, kMac), Card(3, {2, 0, 0, 0, 0, 3})};
  // Card 3 holds no address, card 2 holds two: a count by cards would be wrong either way.
  rows.addresses = {Address(1, {127, 0, 0, 1}), Address(2, {203, 0, 113, 9}), Address(2, {203, 0, 113, 10})};
  CAdapterTable table(testing::FakeAdapters(rows)());
  ASSERT_EQ(table.Init(), 0);
  const std::size_t count = table.Walk(false, false);
  EXPECT_EQ(count, 2U);
  std::vector<AdapterEntry> entries(count + 1);
  EXPECT_EQ(table.Fill(entries), count);
  std::vector<AdapterEntry> small(1);
  EXPECT_EQ(table.Fill(small), 1U);  // never more than there is room for
  EXPECT_EQ(AddressText(small[0]), "203.0.113.9");
}

TEST(AdapterTableTest, FailedInitLeavesNoTable) {
  platform::AdapterRows rows;
  rows.interfaces = {Card(2, kMac)};
  rows.addresses = {Address(2, {203, 0, 113, 9})};
  for (const int failure : {-1, -2, -3}) {
    CAdapterTable table(testing::FakeAdapters(rows, failure)());
    EXPECT_EQ(table.Init(), failure);
    EXPECT_EQ(table.Walk(false, false), 0U);
  }
  CAdapterTable without_source(nullptr);
  EXPECT_EQ(without_source.Init(), -1);
}

}  // namespace
}  // namespace zelquo
