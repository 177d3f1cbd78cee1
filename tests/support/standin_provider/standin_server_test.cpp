#include "standin_provider/standin_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "standin_provider/socket_compat.h"
#include "standin_provider/standin_script.h"

namespace standin {
namespace {

using namespace std::chrono_literals;
using namespace std::string_view_literals;
using Clock = std::chrono::steady_clock;

// A raw TCP client: sends bytes exactly as given, reads whatever comes back.
class Client {
 public:
  explicit Client(std::uint16_t port) : socket_(net::ConnectTcp("127.0.0.1", port)) {}

  void Send(std::string_view data) {
    while (!data.empty()) {
      const auto sent = net::Send(socket_, data.data(), data.size());
      ASSERT_EQ(sent.status, net::IoStatus::kDone);
      data.remove_prefix(sent.bytes);
    }
  }
  void EndSending() { net::ShutdownSend(socket_); }

  // Reads until the server closes the connection (true) or `limit` passes (false), or until
  // `enough` bytes came (false).
  bool ReadUntilClosed(std::chrono::milliseconds limit = 10s, std::size_t enough = SIZE_MAX) {
    const auto give_up = Clock::now() + limit;
    char buffer[65536];
    const net::Handle handle[] = {socket_.Get()};
    while (received_.size() < enough) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(give_up - Clock::now());
      if (left <= 0ms || net::WaitReadable(handle, left) < 0) return false;
      const auto got = net::Receive(socket_, buffer, sizeof buffer);
      if (got.status != net::IoStatus::kDone) return true;  // end of stream, or reset
      received_.append(buffer, got.bytes);
    }
    return false;
  }
  [[nodiscard]] bool HasDataWaiting() const {
    const net::Handle handle[] = {socket_.Get()};
    return net::WaitReadable(handle, 0ms) == 0;
  }
  [[nodiscard]] const std::string& Received() const { return received_; }

 private:
  net::Socket socket_;
  std::string received_;
};

// One whole exchange on a fresh connection; the server's complete answer.
std::string Exchange(std::uint16_t port, std::string_view request) {
  Client client(port);
  client.Send(request);
  EXPECT_TRUE(client.ReadUntilClosed()) << "the server did not close after answering";
  return client.Received();
}

std::string Get(std::uint16_t port, std::string_view target) {
  return Exchange(port, "GET " + std::string(target) + " HTTP/1.1\r\nHost: x\r\n\r\n");
}

std::string AnswerText(int status, std::string_view reason, std::string_view body) {
  return "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
         std::string(body);
}

TEST(StandinServer, RecordsTheRequestHeadAndAnswersWithContentLength) {
  Server server;
  const std::uint16_t port = server.Listen();
  server.SetReply("/nic/update", Text("good 192.0.2.1"));
  server.Start();

  const std::string request =
      "GET /nic/update?hostname=h.example&myip=192.0.2.1 HTTP/1.1\r\n"
      "Host: members.example\r\n"
      "Authorization: Basic dXNlcjpwYXNz\r\n"
      "X-Twice: first\r\n"
      "x-TWICE: \t second \r\n"
      "\r\n";
  EXPECT_EQ(Exchange(port, request), AnswerText(200, "OK", "good 192.0.2.1"));
  EXPECT_EQ(Get(port, "/elsewhere"), AnswerText(404, "Not Found", ""));
  EXPECT_EQ(Get(port, "http://members.example/nic/update?x=1"),
            AnswerText(200, "OK", "good 192.0.2.1"));

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  const RecordedRequest& first = requests[0];
  EXPECT_EQ(first.raw, request);
  EXPECT_EQ(first.problem, "");
  EXPECT_EQ(first.local_port, port);
  EXPECT_EQ(first.local_address, "127.0.0.1");
  EXPECT_EQ(first.request_line, "GET /nic/update?hostname=h.example&myip=192.0.2.1 HTTP/1.1");
  EXPECT_EQ(first.method, "GET");
  EXPECT_EQ(first.path, "/nic/update");
  EXPECT_EQ(first.query, "hostname=h.example&myip=192.0.2.1");
  const std::vector<std::pair<std::string, std::string>> headers = {
      {"Host", "members.example"},
      {"Authorization", "Basic dXNlcjpwYXNz"},
      {"X-Twice", "first"},
      {"x-TWICE", "second"}};
  EXPECT_EQ(first.headers, headers);
  EXPECT_EQ(first.Header("authorization"), "Basic dXNlcjpwYXNz");
  EXPECT_EQ(first.Header("x-twice"), "first");
  EXPECT_EQ(first.CountHeader("X-TWICE"), 2u);
  EXPECT_EQ(first.Header("Cookie"), "");

  EXPECT_EQ(requests[1].path, "/elsewhere");
  EXPECT_EQ(requests[2].target, "http://members.example/nic/update?x=1");
  EXPECT_EQ(requests[2].path, "/nic/update");
  EXPECT_EQ(requests[2].query, "x=1");
}

TEST(StandinServer, QueuedRepliesComeInOrderThenTheLastRepeats) {
  Server server;
  const std::uint16_t port = server.Listen();
  server.QueueReplies("/nic/update", {Status(401), Redirect("http://other.example/"), Text("b")});
  server.Start();

  EXPECT_EQ(Get(port, "/nic/update?a"), AnswerText(401, "Unauthorized", ""));
  EXPECT_EQ(Get(port, "/nic/update?b"),
            "HTTP/1.1 302 Found\r\nContent-Length: 0\r\nConnection: close\r\n"
            "Location: http://other.example/\r\n\r\n");
  EXPECT_EQ(Get(port, "/nic/update?c"), AnswerText(200, "OK", "b"));
  EXPECT_EQ(Get(port, "/nic/update?d"), AnswerText(200, "OK", "b"));

  server.SetReply("/nic/update", Text("reset"));  // replaces the queue, exhausted or not
  EXPECT_EQ(Get(port, "/nic/update"), AnswerText(200, "OK", "reset"));
  EXPECT_EQ(server.RequestCount(), 5u);
  server.ClearRequests();
  EXPECT_EQ(server.RequestCount(), 0u);
}

TEST(StandinServer, PortRulesOverrideThePortlessRuleOnTheirPortOnly) {
  Server server;
  const std::uint16_t refusing = server.Listen();
  const std::uint16_t answering = server.Listen();
  server.SetReply(refusing, "/nic/update", Status(404));
  server.SetReply("/nic/update", Text("good"));
  server.Start();

  EXPECT_EQ(Get(refusing, "/nic/update"), AnswerText(404, "Not Found", ""));
  EXPECT_EQ(Get(answering, "/nic/update"), AnswerText(200, "OK", "good"));
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].local_port, refusing);
  EXPECT_EQ(requests[1].local_port, answering);
}

TEST(StandinServer, RecordsADelayedRequestBeforeAnswering) {
  Server server;
  const std::uint16_t port = server.Listen();
  Reply late = Text("late");
  late.delay = 600ms;
  server.SetReply("/nic/update", late);
  server.Start();

  Client client(port);
  const auto sent = Clock::now();
  client.Send("GET /nic/update HTTP/1.1\r\n\r\n");
  ASSERT_TRUE(server.WaitForRequests(1, 5s));
  EXPECT_FALSE(client.HasDataWaiting()) << "answered before the delay";
  ASSERT_TRUE(client.ReadUntilClosed());
  EXPECT_GE(Clock::now() - sent, 600ms);
  EXPECT_EQ(client.Received(), AnswerText(200, "OK", "late"));
}

TEST(StandinServer, CloseWithoutAnswerSendsNothing) {
  Server server;
  const std::uint16_t port = server.Listen();
  Reply hang_up;
  hang_up.mode = Reply::Mode::kCloseWithoutAnswer;
  server.SetReply("/nic/update", hang_up);
  server.Start();

  EXPECT_EQ(Get(port, "/nic/update"), "");
  EXPECT_EQ(server.RequestCount(), 1u);
}

TEST(StandinServer, StopPromptlyEndsSilentKeptOpenAndDelayedConnections) {
  Server server;
  const std::uint16_t port = server.Listen();
  Reply silent;
  silent.mode = Reply::Mode::kNeverAnswer;
  Reply kept = Text("kept");
  kept.keep_open_after_answer = true;
  Reply late = Text("late");
  late.delay = 60s;
  server.SetReply("/silent", silent);
  server.SetReply("/kept", kept);
  server.SetReply("/late", late);
  server.Start();

  Client silent_client(port);
  Client kept_client(port);
  Client late_client(port);
  silent_client.Send("GET /silent HTTP/1.1\r\n\r\n");
  kept_client.Send("GET /kept HTTP/1.1\r\n\r\n");
  late_client.Send("GET /late HTTP/1.1\r\n\r\n");
  ASSERT_TRUE(server.WaitForRequests(3, 5s));
  EXPECT_FALSE(silent_client.ReadUntilClosed(300ms));
  EXPECT_FALSE(kept_client.ReadUntilClosed(300ms));
  EXPECT_EQ(silent_client.Received(), "");
  EXPECT_EQ(kept_client.Received(), AnswerText(200, "OK", "kept"));

  const auto stopping = Clock::now();
  server.Stop();
  EXPECT_LT(Clock::now() - stopping, 2s);
  EXPECT_TRUE(silent_client.ReadUntilClosed(2s));
  EXPECT_TRUE(kept_client.ReadUntilClosed(2s));
  EXPECT_TRUE(late_client.ReadUntilClosed(2s));
  EXPECT_EQ(late_client.Received(), "");
  EXPECT_THROW((void)Client(port), std::runtime_error) << "still listening after Stop";
  EXPECT_EQ(server.RequestCount(), 3u);
  server.Stop();  // again: nothing left to do
}

TEST(StandinServer, StreamsAHugeFillerBody) {
  constexpr std::size_t kFiller = 48u << 20;
  Server server;
  const std::uint16_t port = server.Listen();
  Reply huge = Text("good\n");
  huge.filler_bytes = kFiller;
  server.SetReply("/nic/update", huge);
  server.Start();

  const std::string answer = Get(port, "/nic/update");
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(5 + kFiller) +
                           "\r\nConnection: close\r\n\r\ngood\n";
  ASSERT_EQ(answer.size(), head.size() + kFiller);
  EXPECT_EQ(answer.substr(0, head.size()), head);
  EXPECT_EQ(answer.find_first_not_of('x', head.size()), std::string::npos);
}

TEST(StandinServer, TricklesAndStreamsWithoutEnd) {
  Server server;
  const std::uint16_t port = server.Listen();
  Reply drip = Text("ab");
  drip.trickle_interval = 100ms;
  Reply endless = Text("ok");
  endless.endless = true;
  Reply slow_head = Text("ab");
  slow_head.head_trickle_interval = 5ms;
  server.SetReply("/drip", drip);
  server.SetReply("/endless", endless);
  server.SetReply("/slowhead", slow_head);
  server.Start();

  auto start = Clock::now();
  EXPECT_EQ(Get(port, "/drip"), AnswerText(200, "OK", "ab"));
  EXPECT_GE(Clock::now() - start, 200ms);
  const std::string slow_answer = AnswerText(200, "OK", "ab");
  start = Clock::now();
  EXPECT_EQ(Get(port, "/slowhead"), slow_answer);
  EXPECT_GE(Clock::now() - start, 5ms * (slow_answer.size() - 2)) << "every head byte waits";

  Client client(port);
  client.Send("GET /endless HTTP/1.1\r\n\r\n");
  EXPECT_FALSE(client.ReadUntilClosed(10s, 1u << 20));
  const std::string head = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nok";
  ASSERT_GE(client.Received().size(), 1u << 20);
  EXPECT_EQ(client.Received().substr(0, head.size()), head);
  EXPECT_EQ(client.Received().find_first_not_of('x', head.size()), std::string::npos);
}

TEST(StandinServer, AnswersMalformedHeads400AndOversizedOnes431AndKeepsServing) {
  Server server;
  const std::uint16_t port = server.Listen();
  server.SetReply("/nic/update", Text("good"));
  server.Start();

  const std::string_view garbage[] = {
      "\x01\x02\xff garbage\r\n\r\n"sv,
      "\r\n",
      "GET /nic/update\r\n\r\n",
      "GET /nic/update HTTP/1.1 extra\r\n\r\n",
      "GET  /nic/update HTTP/1.1\r\n\r\n",
      "GET /nic/update HTTP/one\r\n\r\n",
      "GET /nic/update HTTP/1.1\r\nNo colon\r\n\r\n",
      "GET /nic/update HTTP/1.1\r\nName : value\r\n\r\n",
      "GET /nic/update HTTP/1.1\r\nHost: x\r\n folded\r\n\r\n",
      "GET /nic/update HTTP/1.1\nHost: x\n\n",
      "GET /nic/update HTTP/1.1\r\nHost: a\0b\r\n\r\n"sv,
  };
  for (const std::string_view request : garbage) {
    SCOPED_TRACE(testing::PrintToString(std::string(request)));
    EXPECT_EQ(Exchange(port, request), AnswerText(400, "Bad Request", ""));
  }
  {
    Client cut_short(port);
    cut_short.Send("GET /nic/update HTTP/1.1\r\nHost: x\r\n");
    cut_short.EndSending();
    EXPECT_TRUE(cut_short.ReadUntilClosed());
  }

  // A head of exactly the limit is still read; one byte more is refused.
  const std::string start = "GET /nic/update HTTP/1.1\r\nX-Pad: ";
  const std::string fitting =
      start + std::string(kMaxRequestHead - start.size() - 4, 'p') + "\r\n\r\n";
  ASSERT_EQ(fitting.size(), kMaxRequestHead);
  EXPECT_EQ(Exchange(port, fitting), AnswerText(200, "OK", "good"));
  const std::string over =
      start + std::string(kMaxRequestHead - start.size() - 3, 'p') + "\r\n\r\n";
  EXPECT_EQ(Exchange(port, over), AnswerText(431, "Request Header Fields Too Large", ""));

  EXPECT_EQ(Get(port, "/nic/update"), AnswerText(200, "OK", "good"));

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), std::size(garbage) + 4);
  for (std::size_t i = 0; i < std::size(garbage); ++i) {
    EXPECT_EQ(requests[i].raw, garbage[i]);
    EXPECT_NE(requests[i].problem, "") << i;
  }
  EXPECT_NE(requests[std::size(garbage)].problem, "") << "a head cut short";
  EXPECT_EQ(requests[std::size(garbage) + 1].problem, "");
  EXPECT_NE(requests[std::size(garbage) + 2].problem, "");
  EXPECT_EQ(requests[std::size(garbage) + 2].request_line, "GET /nic/update HTTP/1.1");
}

TEST(StandinServer, ListenAndStartReportMisuse) {
  Server first;
  const std::uint16_t port = first.Listen();
  Server second;
  EXPECT_THROW(second.Listen("127.0.0.1", port), std::runtime_error) << "a busy port";
  EXPECT_THROW(second.Listen("localhost", 0), std::runtime_error) << "not numeric";
  EXPECT_THROW(second.Listen("127.0.0.300", 0), std::runtime_error);
  EXPECT_THROW(second.Start(), std::logic_error);
  EXPECT_THROW(second.QueueReplies("/x", {}), std::invalid_argument);
}

TEST(StandinScript, RulesDriveTheServerAndRequestsAreRecordedAsLines) {
  const auto rules = ParseScript(
      "# the refusing port, then the answering one\n"
      "  /nic/update 404 port=8245\r\n"
      "\n"
      "/nic/update 200 header=X-One:a\\x20b reason=Fine good 192.0.2.1  and more\n"
      "/nic/update 200 delay=10 filler=3 -- close\\n\n"
      "/hold 0 silent\n"
      "/shut 200 close\n"
      "/kept 200 keepopen\n"
      "/drip 200 trickle=5 endless ok\n"
      "/slowhead 200 trickle-head=7 ok\n");
  ASSERT_EQ(rules.size(), 8u);
  EXPECT_EQ(rules[0].line, 2);
  EXPECT_EQ(rules[0].port, 8245);
  EXPECT_EQ(rules[0].reply.status, 404);
  EXPECT_EQ(rules[1].reply.body, "good 192.0.2.1  and more");
  EXPECT_EQ(rules[1].reply.reason, "Fine");
  EXPECT_EQ(rules[1].reply.headers,
            (std::vector<std::pair<std::string, std::string>>{{"X-One", "a b"}}));
  EXPECT_EQ(rules[2].reply.body, "close\n");
  EXPECT_EQ(rules[2].reply.delay, 10ms);
  EXPECT_EQ(rules[2].reply.filler_bytes, 3u);
  EXPECT_EQ(rules[3].reply.mode, Reply::Mode::kNeverAnswer);
  EXPECT_EQ(rules[4].reply.mode, Reply::Mode::kCloseWithoutAnswer);
  EXPECT_TRUE(rules[5].reply.keep_open_after_answer);
  EXPECT_EQ(rules[6].reply.trickle_interval, 5ms);
  EXPECT_TRUE(rules[6].reply.endless);
  EXPECT_EQ(rules[6].reply.body, "ok");
  EXPECT_EQ(rules[7].reply.head_trickle_interval, 7ms);
  EXPECT_EQ(rules[7].reply.trickle_interval, 0ms);

  Server server;
  const std::uint16_t port = server.Listen();
  ApplyScript(server, rules);
  server.Start();
  EXPECT_EQ(Get(port, "/nic/update"),
            "HTTP/1.1 200 Fine\r\nContent-Length: 24\r\nConnection: close\r\nX-One: a b\r\n\r\n"
            "good 192.0.2.1  and more");
  EXPECT_EQ(Get(port, "/nic/update"), AnswerText(200, "OK", "close\nxxx"));
  EXPECT_EQ(Get(port, "/nic/update"), AnswerText(200, "OK", "close\nxxx"));

  Exchange(port, "GET /a\tb HTTP/1.1\r\n\r\n");
  Exchange(port, "GET /nic/update?q=1 HTTP/1.1\r\nHost: h\r\nX-Odd: tab\there\\\r\n\r\n");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 5u);
  const std::string port_text = std::to_string(port);
  EXPECT_EQ(RecordLine(requests[3]),
            port_text + "\t(malformed)\t" +
                "the target is empty or has bytes other than visible ASCII" +
                "\tGET /a\\tb HTTP/1.1\\r\\n\\r\\n");
  EXPECT_EQ(RecordLine(requests[4]),
            port_text + "\tGET\t/nic/update?q=1\tHost: h\tX-Odd: tab\\there\\\\");
}

TEST(StandinScript, RejectsBadLinesNamingTheLine) {
  const char* const bad[] = {
      "nic/update 200\n",
      "/nic/update\n",
      "/nic/update 1000\n",
      "/nic/update 200 delay=-1\n",
      "/nic/update 200 trickle-head=0\n",
      "/nic/update 200 port=0\n",
      "/nic/update 200 port=70000\n",
      "/nic/update 200 close silent\n",
      "/nic/update 200 header=NoColon\n",
      "/nic/update 200 bad\\q\n",
      "/nic/update 200 body\\x4\n",
  };
  for (const char* line : bad) {
    SCOPED_TRACE(line);
    try {
      (void)ParseScript(std::string("# ok\n/fine 200\n") + line);
      ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(std::string(error.what()).rfind("script line 3: ", 0), 0u) << error.what();
    }
  }
  std::string address;
  std::uint16_t port = 0;
  EXPECT_TRUE(SplitListenAddress("[::1]:8245", address, port));
  EXPECT_EQ(address, "::1");
  EXPECT_EQ(port, 8245);
  EXPECT_TRUE(SplitListenAddress("10.0.0.1:80", address, port));
  EXPECT_EQ(address, "10.0.0.1");
  EXPECT_EQ(port, 80);
  EXPECT_FALSE(SplitListenAddress("::1:80", address, port));
  EXPECT_FALSE(SplitListenAddress("10.0.0.1:", address, port));
  EXPECT_FALSE(SplitListenAddress("10.0.0.1:65536", address, port));
}

}  // namespace
}  // namespace standin
