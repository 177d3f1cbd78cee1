#include "detection/detect_ip.h"

#include <gtest/gtest.h>

#include "fake_adapter_source.h"
#include "standin_provider/standin_server.h"
#include "test_files.h"

namespace zelquo {
namespace {

using namespace std::chrono_literals;
using testing::Address;
using testing::Card;

constexpr char kPath[] = "/ipcheck.asp";
constexpr char kMacText[] = "02-5A-00-00-00-01";
constexpr std::initializer_list<std::uint8_t> kMac = {0x02, 0x5A, 0x00, 0x00, 0x00, 0x01};

class DetectIpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = server_.Listen();
    server_.Start();
  }

  void Answer(standin::Reply reply) { server_.SetReply(kPath, std::move(reply)); }

  [[nodiscard]] DetectionContext Context(std::string local_addresses = "") {
    DetectionContext context{.settings = settings_};
    context.activity = [this](const std::string& message) { log_.push_back(message); };
    context.ip_check_attempts = {{"127.0.0.1", port_}};
    context.http_timeout = 5s;
    context.ip_check_from_server = {"127.0.0.1", port_};
    context.ip_check_from_timeout = 5s;
    context.local_addresses = [list = std::move(local_addresses)] { return list; };
    // The card that holds the loopback address, so that the check through it reaches the server.
    platform::AdapterRows rows;
    rows.interfaces = {Card(1, {}, "lo", 24), Card(2, kMac, "eth0")};
    rows.addresses = {Address(1, {127, 0, 0, 1}), Address(2, {127, 0, 0, 1})};
    context.adapter_source = testing::FakeAdapters(rows);
    return context;
  }

  void Method(int method) const { settings_.Write(keys::kIpMethod, method); }

  testing::CScratchFolder folder_;
  CSettingsFile settings_{folder_.File("ZelquoIUC.ini")};
  standin::Server server_;
  std::uint16_t port_ = 0;
  std::vector<std::string> log_;
};

TEST_F(DetectIpTest, ServerSideIsTheDefault) {
  Answer(standin::Text("ip198.51.100.7"));
  EXPECT_EQ(DetectIpAddress(Context()), "198.51.100.7");
  EXPECT_EQ(log_, std::vector<std::string>{"Detecting IP address from server side."});
}

TEST_F(DetectIpTest, ServerSideTakesWhatFollowsIpUntested) {
  Method(1);
  settings_.AppendEntry(keys::kIgnoreList, "198.51");
  const struct {
    standin::Reply reply;
    const char* result;
  } kRows[] = {
      {standin::Text("ip198.51.100.7"), "198.51.100.7"},  // the ignore list does not apply
      {standin::Text("ipsomething"), "something"},
      {standin::Text("hello"), ""},
      {standin::Status(500), ""},
  };
  for (const auto& row : kRows) {
    Answer(row.reply);
    EXPECT_EQ(DetectIpAddress(Context()), row.result) << row.reply.body;
  }
}

TEST_F(DetectIpTest, ServerSideWithoutAnyServerGivesEmptyText) {
  Method(1);
  DetectionContext context = Context();
  context.ip_check_attempts.clear();
  EXPECT_EQ(DetectIpAddress(context), "");
}

TEST_F(DetectIpTest, BothSides) {
  Method(2);
  const struct {
    const char* name;
    standin::Reply reply;
    const char* local;
    const char* result;
  } kRows[] = {
      {"behind a NAT", standin::Text("ip198.51.100.7"), "192.168.1.20&127.0.0.1&", ""},
      {"machine holds it", standin::Text("ip198.51.100.7"), "192.168.1.20&198.51.100.7&", "198.51.100.7"},
      {"no server answers", standin::Status(404), "127.0.0.1&192.168.1.20&", "192.168.1.20"},
      {"no server, loopback only", standin::Status(404), "127.0.0.1&", ""},
      {"answer without ip", standin::Text("198.51.100.7"), "198.51.100.7&", ""},
  };
  for (const auto& row : kRows) {
    Answer(row.reply);
    log_.clear();
    EXPECT_EQ(DetectIpAddress(Context(row.local)), row.result) << row.name;
    EXPECT_EQ(log_, std::vector<std::string>{"Detecting IP from both client and server side."}) << row.name;
  }
}

TEST_F(DetectIpTest, BothSidesComparesWithTheFilteredList) {
  Method(2);
  settings_.AppendEntry(keys::kIgnoreList, "198.51");
  Answer(standin::Text("ip198.51.100.7"));
  EXPECT_EQ(DetectIpAddress(Context("198.51.100.7&10.0.0.1&")), "");
}

TEST_F(DetectIpTest, ClientSide) {
  Method(0);
  EXPECT_EQ(DetectIpAddress(Context("192.168.1.20&203.0.113.9&")), "203.0.113.9");
  EXPECT_EQ(DetectIpAddress(Context("127.0.0.1&")), "");
  EXPECT_EQ(DetectIpAddress(Context("")), "");
  EXPECT_EQ(log_, std::vector<std::string>(3, "Detecting IP address from client side."));
  EXPECT_EQ(server_.RequestCount(), 0U);
}

TEST_F(DetectIpTest, StaticAddressJoinsTheOctetsAsText) {
  Method(3);
  EXPECT_EQ(DetectIpAddress(Context()), "...");
  settings_.WriteInt(keys::kStaticOctet1.name, 10);
  settings_.WriteInt(keys::kStaticOctet2.name, 0);
  settings_.WriteInt(keys::kStaticOctet3.name, 0);
  settings_.WriteText(keys::kStaticOctet4.name, "1x");  // not validated
  EXPECT_EQ(DetectIpAddress(Context()), "10.0.0.1x");
  EXPECT_EQ(log_, std::vector<std::string>(2, "Using provided IP address."));
}

TEST_F(DetectIpTest, UnknownMethodGivesEmptyTextSilently) {
  for (const int method : {5, -1}) {
    Method(method);
    EXPECT_EQ(DetectIpAddress(Context("203.0.113.9&")), "");
  }
  EXPECT_TRUE(log_.empty());
}

TEST_F(DetectIpTest, NetworkCardMethodIsRetiredWhenAsked) {
  Method(4);
  settings_.Write(keys::kMacId, kMacText);
  Answer(standin::Text("ip198.51.100.7"));
  DetectionContext context = Context();
  context.retire_network_card_method = true;
  EXPECT_EQ(DetectIpAddress(context), "198.51.100.7");
  EXPECT_EQ(settings_.Read(keys::kIpMethod), 1);
  EXPECT_EQ(log_, std::vector<std::string>{"Detecting IP address from server side."});
}

TEST_F(DetectIpTest, NetworkCardOwnAddress) {
  Method(4);
  settings_.Write(keys::kMacId, kMacText);
  EXPECT_EQ(DetectIpAddress(Context()), "127.0.0.1");
  EXPECT_EQ(settings_.Read(keys::kIpMethod), 4);
  EXPECT_EQ(log_, std::vector<std::string>{"Detecting IP address based on mac address."});
  EXPECT_EQ(server_.RequestCount(), 0U);
}

TEST_F(DetectIpTest, NetworkCardFailuresAbort) {
  Method(4);
  EXPECT_EQ(DetectIpAddress(Context()), "abort");  // no macid
  settings_.Write(keys::kMacId, "02-5a-00-00-00-01");
  EXPECT_EQ(DetectIpAddress(Context()), "abort");  // MAC texts are upper case
  settings_.Write(keys::kMacId, kMacText);
  DetectionContext context = Context();
  context.adapter_source = testing::FakeAdapters({}, -1);
  EXPECT_EQ(DetectIpAddress(context), "abort");
}

TEST_F(DetectIpTest, NetworkCardRouterAddressThroughTheCard) {
  Method(4);
  settings_.Write(keys::kMacId, kMacText);
  settings_.Write(keys::kMacIpMethod, 1);
  Answer(standin::Text("ip203.0.113.9"));
  EXPECT_EQ(DetectIpAddress(Context()), "203.0.113.9");
  const std::vector<standin::RecordedRequest> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1U);
  EXPECT_EQ(requests[0].raw, "GET /ipcheck.asp HTTP/1.1\r\nhost: 127.0.0.1\r\n\r\n");

  Answer(standin::Text("ip203.0.113.9\r\n"));
  EXPECT_EQ(DetectIpAddress(Context()), "abort");

  Answer(standin::Text("ip203.0.113.9"));
  settings_.AppendEntry(keys::kIgnoreList, "203.0.113");
  EXPECT_EQ(DetectIpAddress(Context()), "abort");
}

TEST_F(DetectIpTest, NetworkCardRouterAddressNeedsTheCard) {
  Method(4);
  settings_.Write(keys::kMacId, "02-5A-00-00-00-99");
  settings_.Write(keys::kMacIpMethod, 1);
  Answer(standin::Text("ip203.0.113.9"));
  EXPECT_EQ(DetectIpAddress(Context()), "abort");
  EXPECT_EQ(server_.RequestCount(), 0U);
}

TEST(DetectIpByMacTest, LastMatchingEntryWins) {
  platform::AdapterRows rows;
  rows.interfaces = {Card(2, kMac), Card(3, {0x02, 0x5A, 0, 0, 0, 2})};
  rows.addresses = {Address(2, {203, 0, 113, 9}), Address(3, {10, 0, 0, 3}), Address(2, {192, 168, 1, 20})};
  EXPECT_EQ(DetectIpByMac(kMacText, testing::FakeAdapters(rows)), "192.168.1.20");
  EXPECT_EQ(DetectIpByMac("02-5A-00-00-00-02", testing::FakeAdapters(rows)), "10.0.0.3");
  EXPECT_EQ(DetectIpByMac("02-5A-00-00-00", testing::FakeAdapters(rows)), "abort");
  EXPECT_EQ(DetectIpByMac("", testing::FakeAdapters(rows)), "abort");
  EXPECT_EQ(DetectIpByMac(kMacText, testing::FakeAdapters({})), "abort");
}

}  // namespace
}  // namespace zelquo
