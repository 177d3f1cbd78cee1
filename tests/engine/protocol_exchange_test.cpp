// Provider requests on the wire: the stand-in server records what arrives, and the request target
// must be the built URL's path and query byte for byte, with the client header line once. Also
// the settings writes that answers call for: a refused location, a refused password.
#include "protocol/update_exchange.h"

#include <gtest/gtest.h>

#include "crypto/md5.h"
#include "crypto/scramble.h"
#include "protocol/answer_table.h"
#include "protocol/update_url.h"
#include "settings/settings_path.h"
#include "standin_provider/standin_server.h"
#include "test_files.h"

namespace zelquo {
namespace {

using namespace std::chrono_literals;

// The stand-in listens on loopback; the URLs name it in place of the provider's host, and the
// "serverport" setting carries its port, as the provider's port would be configured.
constexpr char kStandInHost[] = "127.0.0.1";

class ProtocolExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = server_.Listen(kStandInHost);
    server_.Start();
    settings_.Write(keys::kServerPort, port_);
  }

  [[nodiscard]] std::string ClientHeaderName() const {
    const std::string line = UnscrambleText(provider::kScrambledClientHeaderLine);
    return line.substr(0, line.find(':'));
  }

  testing::CScratchFolder folder_;
  CSettingsFile settings_{folder_.File(kSettingsFileName)};
  standin::Server server_;
  std::uint16_t port_ = 0;
};

TEST_F(ProtocolExchangeTest, RequestsArriveExactlyAsBuilt) {
  const std::string digest = Md5Hex("secret1");
  struct Row {
    const char* what;
    UpdateRequest request;
    ProtocolVersion version;
    std::string target;
  };
  UpdateRequest host;
  host.kind = RequestKind::kHost;
  host.host_name = "example.org";
  host.password_digest = digest;
  host.ipv4 = "198.51.100.7";

  UpdateRequest account;
  account.user_name = "alice";
  account.password_digest = digest;
  UpdateRequest first_account = account;
  first_account.location = "home";
  first_account.first_update = true;
  UpdateRequest abort_account = account;
  abort_account.ipv4 = "abort";

  UpdateRequest alias = host;
  alias.kind = RequestKind::kAlias;
  alias.alias = "www";
  alias.first_update = true;

  UpdateRequest single;
  single.kind = RequestKind::kSingleHost;
  single.host_name = "example.org";
  single.alias = "www";
  single.password_digest = digest;
  single.ipv4 = "203.0.113.5";
  UpdateRequest bare_single = single;
  bare_single.host_name.clear();
  bare_single.alias.clear();
  bare_single.ipv4.clear();

  const Row rows[] = {
      {"host with address", host, ProtocolVersion::k443,
       "/nic/update?ver=4.43&hostname=example.org&password=" + digest + "&myip=198.51.100.7"},
      {"account, first update, location, no address", first_account, ProtocolVersion::k443,
       "/nic/update?ver=4.43&username=alice&password=" + digest + "&location=home&uin=1"},
      {"account, abort", abort_account, ProtocolVersion::k443,
       "/nic/update?ver=4.43&username=alice&password=" + digest},
      {"alias, first update", alias, ProtocolVersion::k443,
       "/nic/update?ver=4.43&hostname=example.org&alias=www&password=" + digest + "&myip=198.51.100.7&uin=1"},
      {"single host", single, ProtocolVersion::k441,
       "/nic/update?ver=4.41&uin=1&hostname=example.org&password=" + digest + "&alias=www&myip=203.0.113.5"},
      {"single host, empty host name", bare_single, ProtocolVersion::k441,
       "/nic/update?ver=4.41&uin=1&hostname=&password=" + digest},
      {"4.41 account", account, ProtocolVersion::k441,
       "/nic/update?ver=4.41&uin=1&username=alice&password=" + digest},
  };
  server_.SetReply("/nic/update", standin::Text("nochg\r\n"));
  for (const Row& row : rows) {
    server_.ClearRequests();
    EXPECT_EQ(SendUpdateRequest(settings_, BuildUpdateUrl(row.request, row.version, kStandInHost)), "nochg")
        << row.what;
    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u) << row.what;
    EXPECT_EQ(requests[0].request_line, "GET " + row.target + " HTTP/1.1") << row.what;
    EXPECT_EQ(requests[0].target, row.target) << row.what;
    EXPECT_EQ(requests[0].CountHeader(ClientHeaderName()), 1u) << row.what;
    EXPECT_EQ(requests[0].problem, "") << row.what;
  }
}

TEST_F(ProtocolExchangeTest, AnAnswerFromTheWireIsRead) {
  server_.SetReply("/nic/update", standin::Text("good 198.51.100.7\r\nignored\r\n"));
  UpdateRequest request;
  request.kind = RequestKind::kHost;
  request.host_name = "example.org";
  const std::string answer = SendUpdateRequest(settings_, BuildUpdateUrl(request, ProtocolVersion::k443, kStandInHost));
  const UpdateResult result = InterpretAnswer(request, ProtocolProgram::kService, answer);
  EXPECT_EQ(result.code, AnswerCode::kGood);
  EXPECT_EQ(result.updated_address, "198.51.100.7");
  EXPECT_EQ(result.message, "[good] IP updated with 198.51.100.7 for domain name example.org");

  server_.SetReply("/nic/update", standin::Status(500));
  const std::string failure =
      SendUpdateRequest(settings_, BuildUpdateUrl(request, ProtocolVersion::k443, kStandInHost));
  EXPECT_EQ(failure, "Error:Unknown server error.");
  EXPECT_EQ(InterpretAnswer(request, ProtocolProgram::kService, failure).settles, Settles::kUnchanged);
}

TEST_F(ProtocolExchangeTest, ValuesThatWouldBreakTheRequestAreNotSent) {
  server_.SetReply("/nic/update", standin::Text("good 1.2.3.4"));
  UpdateRequest request;
  request.kind = RequestKind::kSingleHost;
  for (const char* name : {"example.org\r\nX-Injected: 1", "example.org\t", "example.org\x7f", "\x01"}) {
    request.host_name = name;
    const std::string answer = SendUpdateRequest(settings_, BuildUpdateUrl(request, ProtocolVersion::k441, kStandInHost));
    EXPECT_EQ(answer, kErrorMalformedUrl);
    EXPECT_EQ(InterpretAnswer(request, ProtocolProgram::kConsole, answer).code, AnswerCode::kError);
  }
  EXPECT_EQ(server_.RequestCount(), 0u);
}

// A space typed in a value is sent, escaped, and the provider judges it: a location with a space
// is checked (and dropped when refused) instead of blocking every account request.
TEST_F(ProtocolExchangeTest, SpacesInValuesAreSentEscaped) {
  server_.SetReply("/nic/update", standin::Text("notfqdn"));
  UpdateRequest request;
  request.kind = RequestKind::kSingleHost;
  request.host_name = "bad host";
  EXPECT_EQ(SendUpdateRequest(settings_, BuildUpdateUrl(request, ProtocolVersion::k441, kStandInHost)), "notfqdn");

  server_.SetReply("/locationcheck.asp", standin::Text("false"));
  settings_.Write(keys::kLocation, "my home");
  const LocationCheckResult result = CheckLocation(settings_, "alice", "d41d", "my home", kStandInHost);
  EXPECT_TRUE(result.refused);
  EXPECT_EQ(settings_.Read(keys::kLocation), "");

  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].target, "/nic/update?ver=4.41&uin=1&hostname=bad%20host&password=");
  EXPECT_EQ(requests[1].target, "/locationcheck.asp?username=alice&password=d41d&location=my%20home");
}

TEST_F(ProtocolExchangeTest, TheTimeOutSeamIsHonoured) {
  standin::Reply silent;
  silent.mode = standin::Reply::Mode::kNeverAnswer;
  server_.SetReply("/nic/update", silent);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(SendUpdateRequest(settings_, BuildUpdateUrl({}, ProtocolVersion::k443, kStandInHost), 1s),
            kErrorServerError);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
}

TEST_F(ProtocolExchangeTest, ServerPortSetting) {
  const struct {
    const char* stored;  // nullptr: absent
    std::uint16_t port;
  } rows[] = {{nullptr, 80}, {"8245", 8245}, {"65535", 65535}, {"0", 80}, {"65536", 80}, {"70080", 80}, {"-1", 80}};
  testing::CScratchFolder folder;
  const CSettingsFile settings(folder.File(kSettingsFileName));
  for (const auto& row : rows) {
    if (row.stored != nullptr) settings.WriteText(keys::kServerPort.name, row.stored);
    EXPECT_EQ(ReadServerPort(settings), row.port) << (row.stored ? row.stored : "absent");
  }
}

TEST_F(ProtocolExchangeTest, LocationCheckDropsARefusedLocation) {
  const std::string digest = Md5Hex("secret1");
  const struct {
    standin::Reply reply;
    bool refused;
  } rows[] = {
      {standin::Text("false"), true},
      {standin::Text("invalid parameters\r\n"), true},
      {standin::Text("true"), false},
      {standin::Text("False"), false},
      {standin::Text("false "), false},
      {standin::Status(404), false},
  };
  for (const auto& row : rows) {
    settings_.Write(keys::kLocation, "home");
    server_.ClearRequests();
    server_.SetReply("/locationcheck.asp", row.reply);
    const LocationCheckResult result = CheckLocation(settings_, "alice", digest, "home", kStandInHost);
    EXPECT_TRUE(result.sent);
    EXPECT_EQ(result.refused, row.refused) << result.answer;
    EXPECT_EQ(settings_.Read(keys::kLocation), row.refused ? "" : "home") << result.answer;
    ASSERT_EQ(server_.RequestCount(), 1u);
    const auto request = server_.Requests().at(0);
    EXPECT_EQ(request.target, "/locationcheck.asp?username=alice&password=" + digest + "&location=home");
    EXPECT_EQ(request.CountHeader(ClientHeaderName()), 1u);
  }

  server_.ClearRequests();
  const LocationCheckResult none = CheckLocation(settings_, "alice", digest, "", kStandInHost);
  EXPECT_FALSE(none.sent);
  EXPECT_FALSE(none.refused);
  EXPECT_EQ(server_.RequestCount(), 0u);
}

TEST_F(ProtocolExchangeTest, BadauthForgetsTheStoredPassword) {
  const std::string stored = ScrambleTextWithShift("secret1", 3);
  settings_.Write(keys::kPassword, stored);
  server_.SetReply("/nic/update", standin::Text("badauth"));
  UpdateRequest request;
  request.user_name = "alice";
  request.password_digest = Md5Hex("secret1");
  const UpdateResult result = InterpretAnswer(
      request, ProtocolProgram::kTrayClient,
      SendUpdateRequest(settings_, BuildUpdateUrl(request, ProtocolVersion::k443, kStandInHost)));
  ASSERT_EQ(result.side_effect, SideEffect::kForgetPassword);
  ForgetPassword(settings_, stored);
  EXPECT_EQ(settings_.Read(keys::kPassword), "");
  EXPECT_EQ(UnscrambleText(settings_.Read(keys::kPassword)), "");
}

// A refusal forgets the password that was sent, never one stored after it was read.
TEST_F(ProtocolExchangeTest, ARefusalForgetsOnlyThePasswordThatWasSent) {
  const std::string sent = ScrambleText("secret1");
  settings_.Write(keys::kPassword, ScrambleText("secret2"));
  EXPECT_FALSE(ForgetPassword(settings_, sent));
  EXPECT_EQ(UnscrambleText(settings_.Read(keys::kPassword)), "secret2");
  settings_.Write(keys::kPassword, sent);
  EXPECT_TRUE(ForgetPassword(settings_, sent));
  EXPECT_EQ(settings_.Read(keys::kPassword), "");
}

TEST_F(ProtocolExchangeTest, SignOffRequestsOnTheWire) {
  // Sign-off goes through the plain URL fetch on the URL's own port, so the stand-in's port
  // rides in the host part here.
  const std::string api_host = std::string(kStandInHost) + ":" + std::to_string(port_);
  settings_.Write(keys::kSignOffMethod, 2);
  const std::optional<std::string> base = ReadSignOffBase(settings_, api_host);
  ASSERT_TRUE(base.has_value());
  server_.SetReply("/nic/update", standin::Text("good 0.0.0.0"));
  SignOffRequest request;
  request.kind = RequestKind::kAlias;
  request.clear_password = "secret1";
  request.host_name = "example.org";
  request.alias = "www";
  EXPECT_EQ(OpenUrlLine(BuildSignOffUrl(*base, request)), "good 0.0.0.0");
  ASSERT_EQ(server_.RequestCount(), 1u);
  EXPECT_EQ(server_.Requests().at(0).target, "/nic/update?myip=0.0.0.0&password=secret1&hostname=example.org&alias=www");
}

}  // namespace
}  // namespace zelquo
