// The console passes against the stand-in provider: what is sent for each configuration and
// what is printed for each answer.
#include "cli/update_passes.h"

#include <gtest/gtest.h>

#include "crypto/md5.h"
#include "crypto/scramble.h"
#include "settings/settings_path.h"
#include "standin_provider/standin_server.h"
#include "test_files.h"

namespace zelquo::cli {
namespace {

using namespace std::chrono_literals;

constexpr char kNicError[] =
    "Error: IP based on NIC card cannot be detected! Ensure that port 8245 outbound is open if firewall "
    "is active. Please choose a different Connection Type setting so that IP address can be detected "
    "properly.";

class UpdatePassesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.Write(keys::kServerPort, server_.Listen());
    server_.Start();
  }

  PassEnvironment Environment() {
    PassEnvironment environment{settings_, [this] {
                                  ++detections_;
                                  return detected_;
                                }};
    environment.api_host = "127.0.0.1";
    environment.http_timeout = 5s;
    return environment;
  }

  void SetPassword(std::string_view clear) { settings_.Write(keys::kPassword, ScrambleText(clear)); }

  [[nodiscard]] std::vector<std::string> Targets() const { return server_.Targets(); }

  testing::CScratchFolder folder_;
  CSettingsFile settings_{folder_.File(kSettingsFileName)};
  standin::Server server_;
  std::string detected_ = "203.0.113.9";
  int detections_ = 0;
  const std::string digest_ = Md5Hex("secret");
};

TEST_F(UpdatePassesTest, AnEmptyPasswordSendsNothing) {
  settings_.Write(keys::kUsername, "alice");
  EXPECT_EQ(RunSimpleUsagePass(Environment()), "IP address update aborted due to invalid password.");
  settings_.Write(keys::kPassword, "E");  // one byte: unscrambles to nothing
  EXPECT_EQ(RunSimpleUsagePass(Environment()), "IP address update aborted due to invalid password.");
  EXPECT_EQ(server_.RequestCount(), 0u);
  EXPECT_EQ(detections_, 0);
}

TEST_F(UpdatePassesTest, AccountRequestWhenNoNamesAreConfigured) {
  SetPassword("secret");
  settings_.Write(keys::kUsername, "alice");
  server_.SetReply("/nic/update", standin::Text("nochg"));
  EXPECT_EQ(RunSimpleUsagePass(Environment()), "[nochg] IP address was not updated due to no change.");
  EXPECT_EQ(Targets(), std::vector<std::string>{"/nic/update?ver=4.41&uin=1&username=alice&password=" + digest_ +
                                                "&myip=203.0.113.9"});

  server_.SetReply("/nic/update", standin::Text("good 203.0.113.9"));
  EXPECT_EQ(RunSimpleUsagePass(Environment()), "[good] IP updated with 203.0.113.9 for username alice.");
}

TEST_F(UpdatePassesTest, AccountRequestWithoutAnswerOrAfterAFailedDetection) {
  SetPassword("secret");
  settings_.Write(keys::kUsername, "alice");
  server_.SetReply("/nic/update", standin::Status(500));
  EXPECT_EQ(RunSimpleUsagePass(Environment()), "") << "an HTTP failure prints an empty line";
  server_.SetReply("/nic/update", standin::Text("good"));
  EXPECT_EQ(RunSimpleUsagePass(Environment()), "") << "\"good\" without a space is no answer here";

  server_.ClearRequests();
  detected_ = "abort";
  EXPECT_EQ(RunSimpleUsagePass(Environment()), kNicError);
  EXPECT_EQ(server_.RequestCount(), 0u);
}

TEST_F(UpdatePassesTest, NameStagesSendOneRequestPerConfiguredName) {
  SetPassword("secret");
  settings_.Write(keys::kUsername, "alice");  // ignored once names are configured
  settings_.WriteInt("numofdomainnames", 3);
  settings_.WriteText("domain_name1", "one.example.org");
  settings_.WriteText("domain_name2", "");
  settings_.WriteText("domain_name3", "three.example.org");
  settings_.WriteInt("numofaliases", 2);
  settings_.WriteText("alias_alias1", "www");
  settings_.WriteText("alias_domain_name1", "one.example.org");
  settings_.WriteText("alias_alias2", "ftp");  // no host name: skipped
  server_.QueueReplies("/nic/update", {standin::Text("good 203.0.113.9"), standin::Text("nochg"),
                                       standin::Text("Error:never a code")});
  EXPECT_EQ(RunSimpleUsagePass(Environment()),
            "[good] IP updated with 203.0.113.9 for domain name one.example.org\r\n"
            "[nochg] IP address not changed for domain name three.example.org.\r\n");
  EXPECT_EQ(Targets(), (std::vector<std::string>{
                           "/nic/update?ver=4.41&uin=1&hostname=one.example.org&password=" + digest_ +
                               "&myip=203.0.113.9",
                           "/nic/update?ver=4.41&uin=1&hostname=three.example.org&password=" + digest_ +
                               "&myip=203.0.113.9",
                           "/nic/update?ver=4.41&uin=1&hostname=one.example.org&alias=www&password=" + digest_ +
                               "&myip=203.0.113.9",
                       }));
  EXPECT_EQ(detections_, 1) << "the held address serves every request of the pass";
}

TEST_F(UpdatePassesTest, DetectionRunsAgainWhileItFindsNothing) {
  SetPassword("secret");
  settings_.WriteInt("numofdomainnames", 2);
  settings_.WriteText("domain_name1", "one.example.org");
  settings_.WriteText("domain_name2", "two.example.org");
  detected_ = "";
  server_.SetReply("/nic/update", standin::Text("nohost"));
  EXPECT_EQ(RunSimpleUsagePass(Environment()),
            "[nohost] Domain name one.example.org is invalid! Please check the settings and try again.\r\n"
            "[nohost] Domain name two.example.org is invalid! Please check the settings and try again.\r\n");
  EXPECT_EQ(detections_, 2);
  for (const auto& target : Targets()) EXPECT_EQ(target.find("myip"), std::string::npos) << target;
}

TEST_F(UpdatePassesTest, AFailedNetworkCardDetectionIsReportedAndTheNamesGoWithoutAnAddress) {
  SetPassword("secret");
  settings_.WriteInt("numofdomainnames", 1);
  settings_.WriteText("domain_name1", "one.example.org");
  settings_.WriteInt("numofaliases", 1);
  settings_.WriteText("alias_alias1", "www");
  settings_.WriteText("alias_domain_name1", "one.example.org");
  detected_ = "abort";
  server_.SetReply("/nic/update", standin::Text("nochg"));
  EXPECT_EQ(RunSimpleUsagePass(Environment()),
            std::string(kNicError) + "\r\n[nochg] IP address not changed for domain name one.example.org.\r\n" +
                kNicError + "\r\n[nochg] IP address not changed for hostname www.one.example.org.\r\n");
  EXPECT_EQ(Targets(), (std::vector<std::string>{
                           "/nic/update?ver=4.41&uin=1&hostname=one.example.org&password=" + digest_,
                           "/nic/update?ver=4.41&uin=1&hostname=one.example.org&alias=www&password=" + digest_,
                       }));
  EXPECT_EQ(detections_, 1);
}

TEST_F(UpdatePassesTest, TheIpv6AddressGoesWithEachNameAndItsAbsenceIsSaidOnce) {
  SetPassword("secret");
  settings_.AppendEntry(keys::kDomainNames, "home.example.org");
  settings_.AppendRow(keys::kAliases, {"www", "home.example.org"});
  server_.SetReply("/nic/update", standin::Text("nochg"));
  std::string ipv6 = "2001:db8::1";
  int ipv6_detections = 0;
  PassEnvironment environment = Environment();
  environment.detect_ipv6 = [&] {
    ++ipv6_detections;
    return ipv6;
  };
  const std::string nochg =
      "[nochg] IP address not changed for domain name home.example.org.\r\n"
      "[nochg] IP address not changed for hostname www.home.example.org.\r\n";

  EXPECT_EQ(RunSimpleUsagePass(environment), nochg) << "off";
  EXPECT_EQ(ipv6_detections, 0);
  settings_.WriteInt(keys::kUpdateIpV6.name, 1);
  EXPECT_EQ(RunSimpleUsagePass(environment), nochg);
  EXPECT_EQ(ipv6_detections, 1);
  const auto& targets = Targets();
  ASSERT_EQ(targets.size(), 4u);
  EXPECT_EQ(targets[2], "/nic/update?ver=4.41&uin=1&hostname=home.example.org&password=" + digest_ +
                            "&myip=203.0.113.9&myipv6=2001:db8::1");
  EXPECT_EQ(targets[3], "/nic/update?ver=4.41&uin=1&hostname=home.example.org&alias=www&password=" + digest_ +
                            "&myip=203.0.113.9&myipv6=2001:db8::1");

  ipv6.clear();
  EXPECT_EQ(RunSimpleUsagePass(environment), "No usable IPv6 address found; updating without one.\r\n" + nochg);
  EXPECT_EQ(Targets().back(), "/nic/update?ver=4.41&uin=1&hostname=home.example.org&alias=www&password=" + digest_ +
                                  "&myip=203.0.113.9");
}

TEST_F(UpdatePassesTest, SingleHostRequestFromTheCommandLine) {
  server_.SetReply("/nic/update", standin::Text("good 203.0.113.5"));
  EXPECT_EQ(RunSingleHostPass(Environment(), SplitArguments({"secret", "example.org", "www", "203.0.113.5"})),
            "[good] Hostname example.org updated with IP address 203.0.113.5");
  EXPECT_EQ(detections_, 0) << "a given address is used as it is";

  server_.SetReply("/nic/update", standin::Text("nochg"));
  EXPECT_EQ(RunSingleHostPass(Environment(), SplitArguments({"secret", "example.org"})),
            "[nochg] IP address not changed for hostname example.org.");
  EXPECT_EQ(detections_, 1);

  server_.SetReply("/nic/update", standin::Text("nohost"));
  EXPECT_EQ(RunSingleHostPass(Environment(), SplitArguments({"secret"})), "[nohost] Hostname  is invalid.");
  EXPECT_EQ(Targets(), (std::vector<std::string>{
                           "/nic/update?ver=4.41&uin=1&hostname=example.org&password=" + digest_ +
                               "&alias=www&myip=203.0.113.5",
                           "/nic/update?ver=4.41&uin=1&hostname=example.org&password=" + digest_ +
                               "&myip=203.0.113.9",
                           "/nic/update?ver=4.41&uin=1&hostname=&password=" + digest_ + "&myip=203.0.113.9",
                       }));
}

TEST_F(UpdatePassesTest, SingleHostAnswersWithoutAWordAndHttpFailures) {
  server_.SetReply("/nic/update", standin::Text("something new"));
  EXPECT_EQ(RunSingleHostPass(Environment(), SplitArguments({"secret", "example.org", "1.2.3.4"})), "something new");
  server_.SetReply("/nic/update", standin::Status(404));
  EXPECT_EQ(RunSingleHostPass(Environment(), SplitArguments({"secret", "example.org", "1.2.3.4"})),
            "[error] Update could not be performed! Are you connected to the internet? If so, are you behind a "
            "restricted proxy or firewall?");
  detected_ = "abort";
  server_.SetReply("/nic/update", standin::Text("good"));
  EXPECT_EQ(RunSingleHostPass(Environment(), SplitArguments({"secret", "example.org"})),
            "[good] Hostname example.org updated with IP address ");
  EXPECT_EQ(server_.Requests().back().target.find("myip"), std::string::npos);
}

}  // namespace
}  // namespace zelquo::cli
