// The shared update cycle against the stand-in provider: what each configuration sends, what it
// records in the settings file, and what it reports.
#include "cycle/update_cycle.h"

#include <gtest/gtest.h>

#include "crypto/md5.h"
#include "crypto/scramble.h"
#include "detection/detect_ipv6.h"
#include "settings/settings_path.h"
#include "standin_provider/standin_server.h"
#include "test_files.h"

namespace zelquo {
namespace {

using namespace std::chrono_literals;

class CRecordingWait final : public PollIntervalWait {
 public:
  void Wait(int seconds) override { waits.push_back(seconds); }
  std::vector<int> waits;
};

class UpdateCycleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.Write(keys::kServerPort, server_.Listen());
    server_.Start();
    settings_.Write(keys::kPassword, ScrambleText("secret"));
    context_.api_host = "127.0.0.1";
    context_.http_timeout = 5s;
    context_.ip_check_attempts = {};
    context_.minute_of_day = [this] { return now_; };
    context_.sleep = [this](std::chrono::milliseconds duration) { sleeps_.push_back(duration); };
    context_.detect = [this] {
      ++detections_;
      return detected_;
    };
    context_.sinks.activity = [this](const std::string& text) { activity_.push_back(text); };
    context_.sinks.status = [this](const std::string& text) { status_.push_back(text); };
    context_.sinks.tip = [this](const std::string& text) { tips_.push_back(text); };
    context_.command.run = [this](const std::string& command) { commands_.push_back(command); };
  }

  void Cycle() { RunUpdateCycle(context_, loop_); }

  void AddHosts(std::initializer_list<const char*> hosts) {
    for (const char* host : hosts) settings_.AppendEntry(keys::kDomainNames, host);
  }
  void AddAlias(const char* alias, const char* host) {
    settings_.AppendRow(keys::kAliases, {alias, host});
  }

  [[nodiscard]] std::vector<std::string> Targets() const { return server_.Targets(); }
  [[nodiscard]] bool Logged(std::string_view text) const {
    return std::find(activity_.begin(), activity_.end(), text) != activity_.end();
  }

  testing::CScratchFolder folder_;
  CSettingsFile settings_{folder_.File(kSettingsFileName)};
  standin::Server server_;
  CRecordingWait wait_;
  UpdateCycleContext context_{settings_, wait_, ProtocolProgram::kService};
  CUpdateLoopState loop_;
  int now_ = 600;
  std::string detected_ = "203.0.113.9";
  int detections_ = 0;
  std::vector<std::chrono::milliseconds> sleeps_;
  std::vector<std::string> activity_, status_, tips_, commands_;
  const std::string digest_ = Md5Hex("secret");
};

TEST_F(UpdateCycleTest, FirstCycleCarriesUinAndRecordsTheGoodAddress) {
  AddHosts({"home.example.org"});
  settings_.WriteInt("executecommand", 1);
  settings_.WriteText("command", "notify-address");
  server_.SetReply("/nic/update", standin::Text("good 203.0.113.9"));
  Cycle();
  EXPECT_EQ(Targets().at(0),
            "/nic/update?ver=4.43&hostname=home.example.org&password=" + digest_ + "&myip=203.0.113.9&uin=1");
  EXPECT_EQ(settings_.Read(keys::kUpdatedIp), "203.0.113.9");
  EXPECT_EQ(settings_.Read(keys::kUpdatedMinutes), 600);
  EXPECT_EQ(settings_.Read(keys::kCheckMinutes), 600);
  EXPECT_EQ(commands_, std::vector<std::string>{"notify-address"});
  EXPECT_EQ(tips_, std::vector<std::string>{"Zelquo Dynamic DNS Online! IP Address->203.0.113.9"});
  EXPECT_TRUE(Logged("[good] IP updated with 203.0.113.9 for domain name home.example.org"));
  EXPECT_TRUE(Logged("Server response: good 203.0.113.9"));
  EXPECT_EQ(wait_.waits, std::vector<int>{60});

  // The next cycle is no first update, and the unchanged address runs no command.
  now_ = 700;
  Cycle();
  EXPECT_EQ(Targets().at(1),
            "/nic/update?ver=4.43&hostname=home.example.org&password=" + digest_ + "&myip=203.0.113.9");
  EXPECT_EQ(commands_.size(), 1u);
  EXPECT_EQ(settings_.Read(keys::kUpdatedMinutes), 700);
}

TEST_F(UpdateCycleTest, AccountNochgBeforeAnyGoodRecordsAnEmptyAddress) {
  settings_.Write(keys::kUsername, "alice");
  settings_.Write(keys::kUpdatedIp, "198.51.100.1");
  server_.SetReply("/nic/update", standin::Text("nochg"));
  Cycle();
  EXPECT_EQ(Targets().at(0), "/nic/update?ver=4.43&username=alice&password=" + digest_ + "&myip=203.0.113.9");
  EXPECT_EQ(settings_.Read(keys::kUpdatedIp), "") << "settled, but no good answer since the loop began";
  EXPECT_EQ(settings_.Read(keys::kUpdatedMinutes), 600);
  Cycle();
  EXPECT_EQ(Targets().at(1).substr(Targets().at(1).size() - 6), "&uin=1");
  EXPECT_EQ(status_.back(), "IP update process complete.");
}

TEST_F(UpdateCycleTest, TheLastStageDecidesWhatIsRecorded) {
  AddHosts({"home.example.org"});
  AddAlias("www", "home.example.org");
  server_.QueueReplies("/nic/update", {standin::Text("good 203.0.113.9"), standin::Text("dnserr")});
  Cycle();
  EXPECT_EQ(settings_.Read(keys::kUpdatedIp), "") << "host stage settled, alias stage not";

  server_.QueueReplies("/nic/update", {standin::Text("numhost"), standin::Text("nochg")});
  now_ = 601;
  Cycle();
  EXPECT_EQ(settings_.Read(keys::kUpdatedIp), "203.0.113.9") << "host stage unsettled, alias stage settled";
  EXPECT_EQ(settings_.Read(keys::kUpdatedMinutes), 601);
  EXPECT_EQ(Targets().at(1),
            "/nic/update?ver=4.43&hostname=home.example.org&alias=www&password=" + digest_ + "&myip=203.0.113.9&uin=1");
}

TEST_F(UpdateCycleTest, AUserNameWithHostNamesUsesHostMode) {
  settings_.Write(keys::kUsername, "alice");
  AddHosts({"home.example.org"});
  server_.SetReply("/nic/update", standin::Text("nochg"));
  Cycle();
  ASSERT_EQ(server_.RequestCount(), 1u);
  EXPECT_EQ(server_.Requests().at(0).target.find("username"), std::string::npos);
  EXPECT_TRUE(Logged("1 domain name configured.\r\n"));
  EXPECT_TRUE(Logged("0 aliases configured.\r\n"));
}

TEST_F(UpdateCycleTest, NothingConfiguredSendsAndRecordsNothing) {
  Cycle();
  EXPECT_EQ(server_.RequestCount(), 0u);
  EXPECT_TRUE(Logged("0 domain names configured.\r\n"));
  EXPECT_TRUE(Logged("0 aliases configured.\r\n"));
  EXPECT_EQ(testing::ReadBytes(settings_.Path()).find("updatedip"), std::string::npos);
  EXPECT_EQ(detections_, 0);
}

TEST_F(UpdateCycleTest, TwoNewGoodAddressesRunTheCommandOnce) {
  AddHosts({"one.example.org", "", "two.example.org"});
  settings_.WriteInt("executecommand", 1);
  settings_.WriteText("command", "notify");
  server_.SetReply("/nic/update", standin::Text("good 203.0.113.9"));
  Cycle();
  EXPECT_EQ(server_.RequestCount(), 2u);
  EXPECT_EQ(commands_.size(), 1u);
  EXPECT_EQ(detections_, 1) << "one detection serves the whole cycle";
  EXPECT_TRUE(Logged("3 domain names configured.\r\n"));
  EXPECT_TRUE(Logged("Domain name is invalid or missing password."));
}

TEST_F(UpdateCycleTest, ARefusedCommandIsReportedOnceAndNotRun) {
  AddHosts({"home.example.org", "work.example.org"});
  settings_.WriteInt("executecommand", 1);
  settings_.WriteText("command", "notify");
  std::vector<std::string> refusals;
  context_.command.refusal = [](const CSettingsFile&) { return std::optional<std::string>("writable by users"); };
  context_.command.refused = [&](const std::string& reason) { refusals.push_back(reason); };
  server_.SetReply("/nic/update", standin::Text("good 203.0.113.9"));
  Cycle();
  EXPECT_TRUE(commands_.empty());
  EXPECT_EQ(refusals, std::vector<std::string>{"writable by users"}) << "once per cycle, not once per good answer";
  EXPECT_EQ(settings_.Read(keys::kUpdatedIp), "203.0.113.9") << "updates go on as usual";
}

// The tray program's busy icon (before_request) stays up, and automatic dial-up stays off,
// while the command runs.
TEST_F(UpdateCycleTest, TheCommandRunsInsideTheRequestsHooks) {
  AddHosts({"home.example.org"});
  settings_.WriteInt("executecommand", 1);
  settings_.WriteText("command", "notify");
  std::vector<std::string> order;
  context_.hooks.before_request = [&] { order.push_back("before_request"); };
  context_.hooks.after_request = [&] { order.push_back("after_request"); };
  context_.command.run = [&](const std::string& command) { order.push_back(command); };
  server_.SetReply("/nic/update", standin::Text("good 203.0.113.9"));
  Cycle();
  EXPECT_EQ(order, (std::vector<std::string>{"before_request", "notify", "after_request"}));
}

TEST_F(UpdateCycleTest, TheRealCommandInterpreterRunsTheCommandAndItsFailureIsIgnored) {
  AddHosts({"home.example.org"});
  const std::string marker = folder_.File("ran.txt");
  settings_.WriteInt("executecommand", 1);
  // Understood alike by sh and cmd: append a word to a file, then fail.
  settings_.WriteText("command", "echo ran>>\"" + marker + "\" && exit 3");
  context_.command.run = &RunCustomCommand;
  server_.SetReply("/nic/update", standin::Text("good 203.0.113.9"));
  Cycle();
  EXPECT_EQ(testing::ReadBytes(marker).substr(0, 3), "ran");
  EXPECT_EQ(settings_.Read(keys::kUpdatedIp), "203.0.113.9");
}

TEST_F(UpdateCycleTest, PollIntervalZeroDoesNotWait) {
  settings_.WriteInt("pollinterval", 0);
  AddHosts({"home.example.org"});
  server_.SetReply("/nic/update", standin::Text("nochg"));
  Cycle();
  EXPECT_EQ(wait_.waits, std::vector<int>{0});
}

TEST_F(UpdateCycleTest, MaintenancePausesTheCycleAndSettlesNothing) {
  AddHosts({"one.example.org", "two.example.org"});
  server_.QueueReplies("/nic/update", {standin::Text("911"), standin::Text("good 203.0.113.9")});
  Cycle();
  EXPECT_EQ(sleeps_, std::vector<std::chrono::milliseconds>{600000ms});
  EXPECT_NE(std::find(status_.begin(), status_.end(), "[911] IP update suspended temporarily..."), status_.end());
  EXPECT_EQ(server_.RequestCount(), 2u) << "the next name follows the pause";
  EXPECT_EQ(settings_.Read(keys::kUpdatedIp), "203.0.113.9");

  settings_.Write(keys::kUsername, "alice");
  settings_.WriteInt("numofdomainnames", 0);
  server_.SetReply("/nic/update", standin::Text("911"));
  Cycle();
  EXPECT_EQ(sleeps_.size(), 2u);
  EXPECT_EQ(settings_.Read(keys::kUpdatedIp), "") << "a paused account request settles nothing";
}

TEST_F(UpdateCycleTest, BadauthForgetsThePasswordAndTheNextCycleStops) {
  AddHosts({"home.example.org"});
  server_.SetReply("/nic/update", standin::Text("badauth"));
  Cycle();
  EXPECT_EQ(settings_.Read(keys::kPassword), "");
  EXPECT_TRUE(Logged("[badauth] Authentication failed for domain name home.example.org."));
  Cycle();
  EXPECT_EQ(server_.RequestCount(), 1u);
  EXPECT_TRUE(Logged("IP address update aborted due to invalid password."));
  EXPECT_EQ(status_.back(), "Invalid password...");
}

// The user stores another account while a request with the old one is out: the refusal of the
// old one must not empty the new password.
TEST_F(UpdateCycleTest, ARefusalKeepsAPasswordStoredWhileTheRequestWasOut) {
  settings_.Write(keys::kUsername, "alice");
  server_.SetReply("/nic/update", standin::Text("badauth"));
  server_.SetRequestObserver([this](const standin::RecordedRequest&) {
    (void)settings_.Change([](CSettingsChange& change) {
      change.Write(keys::kUsername, "bobby");
      change.Write(keys::kPassword, ScrambleText("secret2"));
    });
  });
  Cycle();
  EXPECT_EQ(UnscrambleText(settings_.Read(keys::kPassword)), "secret2");
  server_.SetRequestObserver(nullptr);
  Cycle();
  EXPECT_EQ(Targets().at(1),
            "/nic/update?ver=4.43&username=bobby&password=" + Md5Hex("secret2") + "&myip=203.0.113.9&uin=1");
  EXPECT_EQ(settings_.Read(keys::kPassword), "") << "the password that was sent is forgotten";
}

TEST_F(UpdateCycleTest, AFailedNetworkCardDetectionSkipsEveryName) {
  detected_ = "abort";
  AddHosts({"one.example.org", "two.example.org"});
  AddAlias("www", "one.example.org");
  Cycle();
  EXPECT_EQ(server_.RequestCount(), 0u);
  EXPECT_EQ(std::count(status_.begin(), status_.end(), "IP update failed."), 2) << "host names only";
  EXPECT_EQ(wait_.waits, (std::vector<int>{60, 60, 60, 60})) << "one wait per skipped name, then the final one";
  EXPECT_EQ(detections_, 1);

  settings_.Write(keys::kUsername, "alice");
  settings_.WriteInt("numofdomainnames", 0);
  settings_.WriteInt("numofaliases", 0);
  Cycle();
  EXPECT_EQ(server_.RequestCount(), 0u);
  EXPECT_EQ(status_.back(), "IP update failed...");
}

// What the service logs: each exchange, heard before a "911" pause begins and after a refusal
// forgot the password, and each detection that found nothing.
TEST_F(UpdateCycleTest, ReportsEachExchangeBeforeItsPauseAndEachEmptyDetection) {
  struct Heard {
    std::string target, ipv4, answer;
    AnswerCode code;
    bool forgotten;
    std::size_t sleeps_before;
  };
  std::vector<Heard> heard;
  std::vector<std::string> failed_detections;
  context_.reports.exchanged = [&](const ExchangeReport& report) {
    heard.push_back({report.request.alias + report.request.host_name, report.request.ipv4, std::string(report.answer),
                     report.result.code, report.password_forgotten, sleeps_.size()});
  };
  context_.reports.detection_failed = [&](const std::string& address) { failed_detections.push_back(address); };
  AddHosts({"home.example.org"});
  AddAlias("www", "home.example.org");
  server_.QueueReplies("/nic/update", {standin::Text("911"), standin::Text("badauth")});
  detected_ = "";
  Cycle();
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[0].target, "home.example.org");
  EXPECT_EQ(heard[0].answer, "911");
  EXPECT_EQ(heard[0].sleeps_before, 0u) << "the pause is logged as it begins";
  EXPECT_EQ(heard[1].target, "wwwhome.example.org");
  EXPECT_EQ(heard[1].code, AnswerCode::kBadAuth);
  EXPECT_TRUE(heard[1].forgotten);
  EXPECT_EQ(heard[1].ipv4, "");
  EXPECT_EQ(failed_detections, (std::vector<std::string>{"", ""})) << "each name asks again";

  settings_.Write(keys::kPassword, ScrambleText("secret"));
  detected_ = "abort";
  Cycle();
  EXPECT_EQ(heard.size(), 2u) << "nothing was sent";
  EXPECT_EQ(failed_detections.back(), "abort");
}

TEST_F(UpdateCycleTest, ARefusedLocationIsDroppedBeforeTheAccountRequest) {
  settings_.Write(keys::kUsername, "alice");
  settings_.Write(keys::kLocation, "office");
  server_.SetReply("/locationcheck.asp", standin::Text("false"));
  server_.SetReply("/nic/update", standin::Text("good 203.0.113.9"));
  Cycle();
  EXPECT_EQ(Targets(), (std::vector<std::string>{
                           "/locationcheck.asp?username=alice&password=" + digest_ + "&location=office",
                           "/nic/update?ver=4.43&username=alice&password=" + digest_ + "&myip=203.0.113.9&uin=1",
                       }));
  EXPECT_EQ(settings_.Read(keys::kLocation), "");

  settings_.Write(keys::kLocation, "home");
  server_.SetReply("/locationcheck.asp", standin::Text("true"));
  Cycle();
  EXPECT_EQ(Targets().back(),
            "/nic/update?ver=4.43&username=alice&password=" + digest_ + "&location=home&myip=203.0.113.9");
}

TEST_F(UpdateCycleTest, TheTrayClientsNotesAndStatusLines) {
  UpdateCycleContext tray = context_;
  tray.program = ProtocolProgram::kTrayClient;
  int busy = 0, idle = 0;
  tray.hooks.before_request = [&] { ++busy; };
  tray.hooks.after_request = [&] { ++idle; };
  AddHosts({"home.example.org"});
  server_.SetReply("/nic/update", standin::Text("good 203.0.113.9"));
  RunUpdateCycle(tray, loop_);
  EXPECT_EQ(activity_.front(), "IP address update initiated.\r\n");
  EXPECT_TRUE(Logged("Updating IP address for home.example.org.\r\n"));
  EXPECT_EQ(status_.back(), "Current IP Address: 203.0.113.9");
  EXPECT_EQ(busy, 1);
  EXPECT_EQ(idle, 1);
}

TEST_F(UpdateCycleTest, TheIpv6AddressGoesWithEveryRequestAndAChangeOfItAloneUpdates) {
  // A static address, so that the change check confirms the IPv4 address without a server.
  settings_.Write(keys::kIpMethod, 3);
  settings_.Write(keys::kStaticOctet1, "203");
  settings_.Write(keys::kStaticOctet2, "0");
  settings_.Write(keys::kStaticOctet3, "113");
  settings_.Write(keys::kStaticOctet4, "9");
  AddHosts({"home.example.org"});
  AddAlias("www", "home.example.org");
  server_.SetReply("/nic/update", standin::Text("good 203.0.113.9"));
  std::string ipv6 = "2001:db8::1";
  int ipv6_detections = 0, none_found = 0;
  context_.detect_ipv6 = [&] {
    ++ipv6_detections;
    return ipv6;
  };
  context_.no_ipv6_found = [&] { ++none_found; };

  // Off: nothing asks for an IPv6 address and nothing records one.
  RunUpdatePass(context_, loop_);
  EXPECT_EQ(ipv6_detections, 0);
  EXPECT_EQ(Targets().at(0).find("myipv6"), std::string::npos);
  EXPECT_EQ(settings_.ReadText(keys::kUpdatedIpV6.name, "absent"), "absent");

  settings_.WriteInt(keys::kUpdateIpV6.name, 1);
  server_.ClearRequests();
  activity_.clear();
  now_ = 601;
  RunUpdatePass(context_, loop_);  // the stored IPv6 address is empty: the change alone updates
  EXPECT_EQ(server_.Targets(), (std::vector<std::string>{
      "/nic/update?ver=4.43&hostname=home.example.org&password=" + digest_ + "&myip=203.0.113.9&myipv6=2001:db8::1",
      "/nic/update?ver=4.43&hostname=home.example.org&alias=www&password=" + digest_ +
          "&myip=203.0.113.9&myipv6=2001:db8::1"}));
  EXPECT_TRUE(Logged("Detected IPv6 address 2001:db8::1"));
  EXPECT_EQ(settings_.Read(keys::kUpdatedIpV6), "2001:db8::1");

  server_.ClearRequests();
  now_ = 602;
  RunUpdatePass(context_, loop_);
  EXPECT_EQ(server_.RequestCount(), 0u) << "both addresses unchanged";

  ipv6 = "";
  now_ = 603;
  RunUpdatePass(context_, loop_);
  ASSERT_EQ(server_.RequestCount(), 2u);
  EXPECT_EQ(Targets().at(0), "/nic/update?ver=4.43&hostname=home.example.org&password=" + digest_ + "&myip=203.0.113.9");
  EXPECT_TRUE(Logged(kNoIpv6Message));
  EXPECT_EQ(none_found, 1) << "once in the cycle, not once per name";
  EXPECT_EQ(settings_.Read(keys::kUpdatedIpV6), "");

  // A cycle that does not settle empties the stored IPv6 address with the IPv4 one.
  settings_.Write(keys::kUpdatedIpV6, "2001:db8::1");
  server_.SetReply("/nic/update", standin::Text("dnserr"));
  Cycle();
  EXPECT_EQ(settings_.Read(keys::kUpdatedIp), "");
  EXPECT_EQ(settings_.Read(keys::kUpdatedIpV6), "");
}

}  // namespace
}  // namespace zelquo
