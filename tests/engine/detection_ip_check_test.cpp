#include "detection/ip_check_servers.h"

#include <gtest/gtest.h>

#include "call_cost.h"
#include "provider_config.h"
#include "standin_provider/standin_server.h"

namespace zelquo {
namespace {

using namespace std::chrono_literals;

constexpr char kPath[] = "/ipcheck.asp";

TEST(IpCheckServersTest, ProductionAttemptsInFixedOrder) {
  const std::vector<IpCheckAttempt> attempts = ProductionIpCheckAttempts();
  const IpCheckAttempt expected[] = {
      {provider::kPrimaryIpCheckHost, 8245},           {provider::kPrimaryIpCheckHost, 80},
      {provider::kSecondaryIpCheckHost, 8245},         {provider::kSecondaryIpCheckHost, 80},
      {provider::kFirstFallbackIpCheckAddress, 8245},  {provider::kFirstFallbackIpCheckAddress, 80},
      {provider::kSecondFallbackIpCheckAddress, 8245}, {provider::kSecondFallbackIpCheckAddress, 80},
  };
  ASSERT_EQ(attempts.size(), std::size(expected));
  for (std::size_t i = 0; i < attempts.size(); ++i) {
    EXPECT_EQ(attempts[i].host, expected[i].host) << i;
    EXPECT_EQ(attempts[i].port, expected[i].port) << i;
  }
  EXPECT_EQ(ProductionIpCheckFromServer().host, provider::kPrimaryIpCheckHost);
  EXPECT_EQ(ProductionIpCheckFromServer().port, 8245);
}

TEST(IsDottedDigitsTest, DigitsAndDotsOnly) {
  for (const char* yes : {"", "1.2.3.4", "999.1", "...", "0"}) EXPECT_TRUE(IsDottedDigits(yes)) << yes;
  for (const char* no : {"1.2.3.4 ", "1,2", "-1", "1.2.3.4x", "\n1.2"}) EXPECT_FALSE(IsDottedDigits(no)) << no;
}

TEST(IpCheckAnswerBufferTest, LineEndRule) {
  const struct {
    const char* bytes;
    const char* buffer;
  } kRows[] = {
      {"ip1.2.3.4", "ip1.2.3.4"},
      {"HTTP/1.1 200 OK\r\nA: b\r\n\r\nip1.2.3.4", "\nip1.2.3.4"},
      {"x\r\n", "\n"},       // a final line end leaves only the line feed
      {"a\rb", "ab"},        // a lone CR is dropped
      {"a\r\r\nb", "\nb"},   // the first CR is dropped, the second pairs with the LF
      {"a\r", "a"},          // a CR at the very end is dropped
      {"a\nb", "a\nb"},      // a lone LF is an ordinary byte
  };
  for (const auto& row : kRows) {
    detail::CIpCheckAnswerBuffer buffer;
    buffer.Feed(std::string_view(row.bytes));
    EXPECT_EQ(buffer.Text(), row.buffer) << row.bytes;
  }
}

TEST(IpCheckAnswerBufferTest, AddressAfterTheFirstIp) {
  const struct {
    const char* buffer;
    const char* result;
  } kRows[] = {
      {"\nip203.0.113.9", "203.0.113.9"}, {"ip", ""},          {"\nip", ""},
      {"", "abort"},                      {"\n", "abort"},     {"\nip10.0.0.1x", "abort"},
      {"xip1.2", "1.2"},                  {"zipcode 5", "abort"}, {"ipip1.2", "abort"},
      {"no address", "abort"},
  };
  for (const auto& row : kRows) EXPECT_EQ(detail::AddressFromIpCheckAnswer(row.buffer), row.result) << row.buffer;
}

// One stand-in server with a port per attempt, so that each attempt can get its own answer.
class IpCheckServersWalkTest : public ::testing::Test {
 protected:
  std::uint16_t AddPort(standin::Reply reply) {
    const std::uint16_t port = server_.Listen();
    server_.SetReply(port, kPath, std::move(reply));
    return port;
  }
  static std::uint16_t ClosedPort() {
    standin::Server closed;
    const std::uint16_t port = closed.Listen();
    closed.Stop();
    return port;
  }
  [[nodiscard]] std::vector<std::uint16_t> AskedPorts() const {
    std::vector<std::uint16_t> ports;
    for (const standin::RecordedRequest& request : server_.Requests()) {
      EXPECT_EQ(request.path, kPath);
      ports.push_back(request.local_port);
    }
    return ports;
  }

  standin::Server server_;
};

TEST_F(IpCheckServersWalkTest, FirstAnswerEndsTheWalk) {
  const std::uint16_t first = AddPort(standin::Text("ip203.0.113.9\r\nmore\r\n"));
  const std::uint16_t second = AddPort(standin::Text("ip198.51.100.1"));
  server_.Start();
  EXPECT_EQ(QueryIpCheckServers({{"127.0.0.1", first}, {"127.0.0.1", second}}), "ip203.0.113.9");
  EXPECT_EQ(AskedPorts(), std::vector<std::uint16_t>{first});
}

TEST_F(IpCheckServersWalkTest, FailuresAreSkippedInOrder) {
  const std::uint16_t refused = ClosedPort();  // the 8245 of a server that only serves 80
  const std::uint16_t not_found = AddPort(standin::Status(404));
  const std::uint16_t error_text = AddPort(standin::Text("Error: busy"));
  const std::uint16_t empty = AddPort(standin::Text(""));
  const std::uint16_t answer = AddPort(standin::Text("ip"));
  const std::uint16_t unused = AddPort(standin::Text("ip192.0.2.1"));
  server_.Start();
  const std::vector<IpCheckAttempt> attempts = {{"127.0.0.1", refused},    {"127.0.0.1", not_found},
                                                {"127.0.0.1", error_text}, {"127.0.0.1", empty},
                                                {"127.0.0.1", answer},     {"127.0.0.1", unused}};
  EXPECT_EQ(QueryIpCheckServers(attempts), "ip");  // not tested for being an address
  EXPECT_EQ(AskedPorts(), (std::vector<std::uint16_t>{not_found, error_text, empty, answer}));
}

TEST_F(IpCheckServersWalkTest, ErrorFurtherOnIsAnAnswer) {
  const std::uint16_t port = AddPort(standin::Text("ipError"));
  server_.Start();
  EXPECT_EQ(QueryIpCheckServers({{"127.0.0.1", port}}), "ipError");
}

TEST_F(IpCheckServersWalkTest, NoAnswerAtAllGivesEmptyText) {
  const std::uint16_t failing = AddPort(standin::Status(503));
  server_.Start();
  EXPECT_EQ(QueryIpCheckServers({{"127.0.0.1", failing}, {"127.0.0.1", ClosedPort()}}), "");
  EXPECT_EQ(QueryIpCheckServers({}), "");
}

class IpCheckFromTest : public ::testing::Test {
 protected:
  void Serve(standin::Reply reply) {
    server_.SetReply(kPath, std::move(reply));
    port_ = server_.Listen();
    server_.Start();
  }
  [[nodiscard]] std::string Query(std::chrono::seconds timeout = kIpCheckFromTimeout) const {
    return QueryIpCheckFrom("127.0.0.1", {"127.0.0.1", port_}, timeout);
  }

  standin::Server server_;
  std::uint16_t port_ = 0;
};

TEST_F(IpCheckFromTest, SendsTheHandWrittenRequestAndReadsTheAddress) {
  Serve(standin::Text("ip203.0.113.9"));
  EXPECT_EQ(Query(), "203.0.113.9");
  const std::vector<standin::RecordedRequest> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1U);
  EXPECT_EQ(requests[0].raw, "GET /ipcheck.asp HTTP/1.1\r\nhost: 127.0.0.1\r\n\r\n");
  EXPECT_EQ(detail::IpCheckFromRequest("ip1.zelquo.net"), "GET /ipcheck.asp HTTP/1.1\r\nhost: ip1.zelquo.net\r\n\r\n");
}

TEST_F(IpCheckFromTest, AnswerEndingWithLineEndIsRefused) {
  Serve(standin::Text("ip203.0.113.9\r\n"));
  EXPECT_EQ(Query(), "abort");
}

TEST_F(IpCheckFromTest, AnythingButDigitsAndDotsIsRefused) {
  Serve(standin::Text("ip10.0.0.1x"));
  EXPECT_EQ(Query(), "abort");
}

TEST_F(IpCheckFromTest, BareIpGivesEmptyAddress) {
  Serve(standin::Text("ip"));
  EXPECT_EQ(Query(), "");
}

TEST_F(IpCheckFromTest, ConnectionKeptOpenEndsAtTheReceiveLimit) {
  standin::Reply reply = standin::Text("ip203.0.113.9");
  reply.keep_open_after_answer = true;
  Serve(reply);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Query(1s), "203.0.113.9");
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 1s);
  EXPECT_LT(took, 5s);
}

TEST_F(IpCheckFromTest, SilentServerGivesAbortAtTheReceiveLimit) {
  standin::Reply reply;
  reply.mode = standin::Reply::Mode::kNeverAnswer;
  Serve(reply);
  EXPECT_EQ(Query(1s), "abort");
}

// A peer that never stops sending is read until the exchange's deadline, or until the answer
// has grown past any real one, and what came so far is used.
TEST_F(IpCheckFromTest, EndlessOrTricklingAnswersEndAtTheDeadline) {
  standin::Reply trickle = standin::Text("ip203.0.113.9");
  trickle.endless = true;
  trickle.trickle_interval = 200ms;
  standin::Reply stream = standin::Text("ip203.0.113.9");
  stream.endless = true;
  Serve(trickle);
  server_.QueueReplies(kPath, {trickle, stream});
  for (const char* what : {"trickle", "endless stream"}) {
    std::string address;
    const auto cost = testing::MeasureCall(what, [&] { address = Query(1s); });
    EXPECT_EQ(address, "abort") << what;
    EXPECT_LT(cost.took, 20s) << what;
    EXPECT_LT(cost.peak_growth, 32u << 20) << what;
  }
}

TEST_F(IpCheckFromTest, ClosedWithoutAnswerGivesAbort) {
  standin::Reply reply;
  reply.mode = standin::Reply::Mode::kCloseWithoutAnswer;
  Serve(reply);
  EXPECT_EQ(Query(), "abort");
}

TEST_F(IpCheckFromTest, ForeignLocalAddressFailsBeforeAnyTraffic) {
  Serve(standin::Text("ip203.0.113.9"));
  // 192.0.2.0/24 is for documentation: no machine running the tests holds it.
  EXPECT_EQ(QueryIpCheckFrom("192.0.2.123", {"127.0.0.1", port_}, 1s), "abort");
  EXPECT_EQ(QueryIpCheckFrom("not an address", {"127.0.0.1", port_}, 1s), "abort");
  EXPECT_EQ(QueryIpCheckFrom("", {"127.0.0.1", port_}, 1s), "abort");
  EXPECT_EQ(server_.RequestCount(), 0U);
}

TEST_F(IpCheckFromTest, RefusedConnectionGivesAbort) {
  standin::Server closed;
  const std::uint16_t port = closed.Listen();
  closed.Stop();
  EXPECT_EQ(QueryIpCheckFrom("127.0.0.1", {"127.0.0.1", port}, 1s), "abort");
}

}  // namespace
}  // namespace zelquo
