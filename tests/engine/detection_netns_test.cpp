// Detection on real network cards and against the production IP-check endpoints, inside the
// network namespaces that tests/netns/detection-tests.sh sets up. The script names the scenario
// in ZELQUO_NETNS and, where the two builds' resolvers differ, the expected answer in
// ZELQUO_NETNS_HOST_ADDRESSES. Anywhere else these cases are skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "detection/adapter_table.h"
#include "detection/detect_ip.h"
#include "detection/ip_check_servers.h"
#include "detection/local_addresses.h"
#include "platform/host_addresses.h"
#include "netns_scenario.h"
#include "test_files.h"

namespace zelquo {
namespace {

using namespace std::chrono_literals;

using testing::Environment;
bool InScenario(const char* scenario) { return testing::InNetnsScenario(scenario); }

constexpr char kOutside[] = "runs inside the namespaces of tests/netns/detection-tests.sh only";

struct Card {
  std::string mac;
  std::string address;
  std::string description;
  std::string mask;
};

std::vector<Card> Cards(bool include_dest, bool include_no_mac) {
  CAdapterTable table;
  EXPECT_EQ(table.Init(), 0);
  std::vector<AdapterEntry> entries(table.Walk(include_dest, include_no_mac));
  entries.resize(table.Fill(entries));
  std::vector<Card> cards;
  for (const AdapterEntry& entry : entries) {
    char mask[16];
    std::snprintf(mask, sizeof mask, "%d.%d.%d.%d", entry.mask[0], entry.mask[1], entry.mask[2], entry.mask[3]);
    cards.push_back({MacText(entry), AddressText(entry), entry.description.data(), mask});
    EXPECT_EQ(entry.type, 6) << cards.back().description << " is a veth card, so ethernetCsmacd";
  }
  return cards;
}

bool operator==(const Card& a, const Card& b) {
  return a.mac == b.mac && a.address == b.address && a.description == b.description && a.mask == b.mask;
}

void PrintTo(const Card& card, std::ostream* out) {
  *out << card.description << " " << card.mac << " " << card.address << "/" << card.mask;
}

class DetectionNetnsTest : public ::testing::Test {
 protected:
  [[nodiscard]] std::string Detect(int method, bool retire = false) const {
    settings_.Write(keys::kIpMethod, method);
    DetectionContext context{.settings = settings_};
    context.retire_network_card_method = retire;
    return DetectIpAddress(context);  // the production endpoints, sources and time-outs
  }

  testing::CScratchFolder folder_;
  CSettingsFile settings_{folder_.File("ZelquoIUC.ini")};
};

// vc0 02:5a:00:00:00:01 holds 203.0.113.9/24 and 192.168.1.20/24; vc1 has the MAC of the bytes
// "DEST" and 198.18.0.99/24; vc2 02:5a:00:00:00:02 holds 172.15.0.1, 172.16.0.1, 172.31.255.1,
// 172.32.0.1 and 169.254.3.4, all /16; tn0 (no MAC) holds 100.64.0.1; loopback has none.
TEST_F(DetectionNetnsTest, CardsAndTheirAddresses) {
  if (!InScenario("detection-cards")) GTEST_SKIP() << kOutside;
  const std::string mac1 = "02-5A-00-00-00-01";
  const std::string mac2 = "02-5A-00-00-00-02";
  const std::vector<Card> offered = {
      {mac2, "169.254.3.4", "vc2", "255.255.0.0"},   {mac2, "172.15.0.1", "vc2", "255.255.0.0"},
      {mac2, "172.16.0.1", "vc2", "255.255.0.0"},    {mac2, "172.31.255.1", "vc2", "255.255.0.0"},
      {mac2, "172.32.0.1", "vc2", "255.255.0.0"},    {mac1, "192.168.1.20", "vc0", "255.255.255.0"},
      {mac1, "203.0.113.9", "vc0", "255.255.255.0"},
  };
  EXPECT_EQ(Cards(false, false), offered);
  std::vector<Card> with_dest = offered;
  with_dest.insert(with_dest.begin() + 6, {"44-45-53-54-00-00", "198.18.0.99", "vc1", "255.255.255.0"});
  EXPECT_EQ(Cards(true, true), with_dest) << "the card without MAC and loopback stay out";

  EXPECT_EQ(DetectIpByMac(mac1), "203.0.113.9");  // the last of the card's addresses
  EXPECT_EQ(DetectIpByMac(mac2), "172.32.0.1");
  for (const char* refused : {"44-45-53-54-00-00", "02-5a-00-00-00-01", "", "00-00-00-00-00-00"}) {
    EXPECT_EQ(DetectIpByMac(refused), "abort") << refused;
  }

  settings_.Write(keys::kMacId, mac1);
  EXPECT_EQ(Detect(4), "203.0.113.9");
  settings_.Write(keys::kMacId, "");
  EXPECT_EQ(Detect(4), "abort");
}

TEST_F(DetectionNetnsTest, CardsHostNameAndClientSide) {
  if (!InScenario("detection-cards")) GTEST_SKIP() << kOutside;
  EXPECT_EQ(platform::LocalHostName().value_or("(none)"), "zqd-cards");
  EXPECT_EQ(LocalHostAddressList(), Environment("ZELQUO_NETNS_HOST_ADDRESSES"));
  EXPECT_EQ(GetLocalAddressList(settings_), OrderAddressList(Environment("ZELQUO_NETNS_HOST_ADDRESSES"), settings_));
  EXPECT_EQ(Detect(0), "203.0.113.9");
  // No IP-check server is reachable here: the production walk fails at once, and "both" falls
  // back to the machine's first address.
  EXPECT_EQ(Detect(1), "");
  EXPECT_EQ(Detect(2), "203.0.113.9");
  EXPECT_EQ(ResolveAddressList("ip1.zelquo.net"), "");
}

TEST_F(DetectionNetnsTest, CardsLocalAddressThatIsNotHere) {
  if (!InScenario("detection-cards")) GTEST_SKIP() << kOutside;
  EXPECT_EQ(QueryIpCheckFrom("192.0.2.123"), "abort");
  EXPECT_EQ(QueryIpCheckFrom("203.0.113.10"), "abort");  // on vc0's network, but not held
}

TEST_F(DetectionNetnsTest, OnlyLoopback) {
  if (!InScenario("detection-loopback")) GTEST_SKIP() << kOutside;
  EXPECT_TRUE(Cards(true, true).empty());
  EXPECT_EQ(DetectIpByMac("00-00-00-00-00-00"), "abort");
  EXPECT_EQ(LocalHostAddressList(), Environment("ZELQUO_NETNS_HOST_ADDRESSES"));
  EXPECT_EQ(Detect(0), "");
  EXPECT_EQ(Detect(2), "");
  settings_.Write(keys::kMacId, "02-5A-00-00-00-01");
  EXPECT_EQ(Detect(4), "abort");
  EXPECT_EQ(ResolveAddressList("no-such-host.zelquo.net"), "");
}

// ip1.zelquo.net: 8245 closed, 80 answers 404; ip2.zelquo.net: 8245 answers "Error: overloaded",
// 80 an empty body; 198.51.100.41:8245 answers ip203.0.113.77. The script checks afterwards which
// servers were asked.
TEST_F(DetectionNetnsTest, ProductionEndpointsFallBackInOrder) {
  if (!InScenario("detection-servers-fallback")) GTEST_SKIP() << kOutside;
  EXPECT_EQ(QueryIpCheckServers(), "ip203.0.113.77");
  EXPECT_EQ(Detect(1), "203.0.113.77");
}

// ip1.zelquo.net:8245 answers ip203.0.113.9; the card vs0 02:5a:00:00:00:05 holds 10.20.0.2.
TEST_F(DetectionNetnsTest, PrimaryServerAndTheCheckThroughACard) {
  if (!InScenario("detection-servers-primary")) GTEST_SKIP() << kOutside;
  EXPECT_EQ(QueryIpCheckServers(), "ip203.0.113.9");
  EXPECT_EQ(QueryIpCheckFrom("10.20.0.2"), "203.0.113.9");

  settings_.Write(keys::kMacId, "02-5A-00-00-00-05");
  EXPECT_EQ(Detect(4), "10.20.0.2");
  settings_.Write(keys::kMacIpMethod, 1);
  EXPECT_EQ(Detect(4), "203.0.113.9");
  EXPECT_EQ(Detect(4, true), "203.0.113.9");
  EXPECT_EQ(settings_.Read(keys::kIpMethod), 1);
}

}  // namespace
}  // namespace zelquo
