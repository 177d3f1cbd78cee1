// Exit's sign-off against the stand-in provider: which requests go out, in which order.
#include "logic/sign_off.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "crypto/scramble.h"
#include "settings/settings_path.h"
#include "standin_provider/standin_server.h"
#include "test_files.h"

namespace zelquo::gui {
namespace {

using namespace std::chrono_literals;
using Keys = std::vector<std::pair<std::string, std::string>>;

class SignOffTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.api_host = "127.0.0.1:" + std::to_string(server_.Listen());
    context_.timeout = 5s;
    server_.SetReply("/nic/update", standin::Text("good"));
    server_.Start();
  }

  void Store(const Keys& values) const {
    for (const auto& [key, value] : values) ASSERT_TRUE(settings_.WriteText(key, value));
  }

  [[nodiscard]] std::vector<std::string> Targets() const { return server_.Targets(); }

  testing::CScratchFolder folder_;
  CSettingsFile settings_{folder_.File(kSettingsFileName)};
  standin::Server server_;
  SignOffContext context_{settings_};
};

TEST_F(SignOffTest, SendsTheChosenRequestsInOrder) {
  const std::string password = ScrambleText("pw12");
  const Keys three_names = {{"username", "alice"},      {"password", password},
                            {"numofdomainnames", "3"},  {"domain_name1", "a.example"},
                            {"domain_name2", ""},       {"domain_name3", "c.example"},
                            {"domain_name4", "stale.example"}};
  struct Row {
    const char* what;
    Keys stored;
    std::vector<std::string> targets;
  } rows[] = {
      {"no choice stored", three_names, {}},
      {"choice 1", {{"signoffmethod", "1"}, {"username", "alice"}, {"password", password}}, {}},
      {"an unknown choice", {{"signoffmethod", "7"}, {"username", "alice"}, {"password", password}}, {}},
      {"choice 2, two names and one alias",
       {{"signoffmethod", "2"}, {"username", "alice"}, {"password", password}, {"numofdomainnames", "2"},
        {"domain_name1", "a.example"}, {"domain_name2", "b.example"}, {"numofaliases", "1"},
        {"alias_alias1", "www"}, {"alias_domain_name1", "a.example"}},
       {"/nic/update?myip=0.0.0.0&password=pw12&hostname=a.example",
        "/nic/update?myip=0.0.0.0&password=pw12&hostname=b.example",
        "/nic/update?myip=0.0.0.0&password=pw12&hostname=a.example&alias=www"}},
      {"choice 0, account only",
       {{"signoffmethod", "0"}, {"username", "alice"}, {"password", password}},
       {"/nic/update?offline=yes&username=alice&password=pw12&location="}},
      {"choice 0, account with a location",
       {{"signoffmethod", "0"}, {"username", "alice"}, {"password", password}, {"location", "home"}},
       {"/nic/update?offline=yes&username=alice&password=pw12&location=home"}},
      {"choice 0, empty password and no names", {{"signoffmethod", "0"}, {"username", "alice"}}, {}},
      {"choice 0, password but no user name", {{"signoffmethod", "0"}, {"password", password}}, {}},
      {"choice 0, aliases only: no account request",
       {{"signoffmethod", "0"}, {"username", "alice"}, {"password", password}, {"numofaliases", "2"},
        {"alias_alias1", "www"}, {"alias_domain_name1", "a.example"}, {"alias_alias2", "ftp"},
        {"alias_domain_name2", "b.example"}},
       {"/nic/update?offline=yes&password=pw12&hostname=a.example&alias=www",
        "/nic/update?offline=yes&password=pw12&hostname=b.example&alias=ftp"}},
      {"choice 3 without octets, empty entries sent as they are",
       {{"signoffmethod", "3"}, {"numofdomainnames", "3"}, {"domain_name1", "a.example"}, {"domain_name2", ""},
        {"domain_name3", "c.example"}, {"domain_name4", "stale.example"}},
       {"/nic/update?myip=...&password=&hostname=a.example", "/nic/update?myip=...&password=&hostname=",
        "/nic/update?myip=...&password=&hostname=c.example"}},
      {"choice 3 with octets",
       {{"signoffmethod", "3"}, {"signoffone", "10"}, {"signofftwo", "0"}, {"signoffthree", "0"},
        {"signofffour", "254"}, {"password", password}, {"numofdomainnames", "1"}, {"domain_name1", "a.example"}},
       {"/nic/update?myip=10.0.0.254&password=pw12&hostname=a.example"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    testing::CScratchFolder folder;
    const CSettingsFile settings(folder.File(kSettingsFileName));
    for (const auto& [key, value] : row.stored) ASSERT_TRUE(settings.WriteText(key, value));
    SignOffContext context(settings);
    context.api_host = context_.api_host;
    context.timeout = context_.timeout;
    server_.ClearRequests();
    SignOff(context);
    EXPECT_EQ(Targets(), row.targets);
    for (const auto& request : server_.Requests()) EXPECT_EQ(request.Header("Host"), context_.api_host);
  }
}

TEST_F(SignOffTest, EndsAfterTheTimeOutsWhenTheServerNeverAnswers) {
  standin::Reply silent;
  silent.mode = standin::Reply::Mode::kNeverAnswer;
  server_.SetReply("/nic/update", silent);
  Store({{"signoffmethod", "2"}, {"password", ScrambleText("pw12")}, {"numofdomainnames", "2"},
         {"domain_name1", "a.example"}, {"domain_name2", "b.example"}});
  context_.timeout = 300ms;
  const auto start = std::chrono::steady_clock::now();
  SignOff(context_);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  EXPECT_EQ(Targets().size(), 2u) << "the second request goes out after the first one fails";
}

}  // namespace
}  // namespace zelquo::gui
