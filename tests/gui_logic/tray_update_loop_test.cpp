// The tray program's passes of the update loop: reports, icons and the outdated notice.
#include "logic/tray_update_loop.h"

#include <gtest/gtest.h>

#include "crypto/scramble.h"
#include "settings/settings_path.h"
#include "standin_provider/standin_server.h"
#include "test_files.h"

namespace zelquo::gui {
namespace {

using namespace std::chrono_literals;

class TrayUpdateLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.Write(keys::kServerPort, server_.Listen());
    server_.Start();
    settings_.Write(keys::kPassword, ScrambleText("secret"));
    settings_.AppendEntry(keys::kDomainNames, "home.example.org");
    loop_.Start(settings_);
  }

  // The stand-in provider, a set clock, a fixed address, and a route trace whose first hop stays
  // silent (which confirms a recent address).
  void Customize(UpdateCycleContext& context) {
    context.api_host = "127.0.0.1";
    context.http_timeout = 5s;
    context.ip_check_attempts = {};
    context.minute_of_day = [this] { return now_; };
    context.detect = [] { return std::string("203.0.113.9"); };
    context.tracer = [](std::string_view, int, std::chrono::milliseconds, int) {
      return TraceResult{true, {HopRecord{1, 0}}};
    };
  }
  void Pass() {
    loop_.Pass(settings_, [this](UpdateCycleContext& context) { Customize(context); });
  }

  testing::CScratchFolder folder_;
  CSettingsFile settings_{folder_.File(kSettingsFileName)};
  standin::Server server_;
  std::vector<std::string> events_;
  CGuiState state_{[] { return std::tm{}; }, [](std::chrono::milliseconds) {}};
  CTrayUpdateLoop loop_{state_, TrayLoopHooks{
                                    [this](const std::string& tip) { events_.push_back("tip " + tip); },
                                    [this] { events_.push_back("busy"); },
                                    [this] { events_.push_back("idle"); },
                                    [this](const std::string&) { events_.push_back("notice"); },
                                }};
  int now_ = 600;
};

TEST_F(TrayUpdateLoopTest, ACycleReportsToTheWindowsWithTheBusyIconAroundTheRequest) {
  settings_.Write(keys::kUpdatedIp, "198.51.100.1");
  loop_.Start(settings_);
  EXPECT_EQ(settings_.Read(keys::kUpdatedIp), "") << "the thread's start records no address";
  server_.SetReply("/nic/update", standin::Text("good 203.0.113.9"));
  Pass();
  EXPECT_EQ(events_, (std::vector<std::string>{
                         "busy", "tip Zelquo Dynamic DNS Online! IP Address->203.0.113.9", "idle"}));
  const std::string log = state_.ActivityLog();
  EXPECT_NE(log.find("12:00:00 AM>IP address update initiated.\r\n\r\n"), std::string::npos);
  EXPECT_NE(log.find("12:00:00 AM>Updating IP address for home.example.org.\r\n\r\n"), std::string::npos);
  EXPECT_EQ(state_.StatusText(), "Current IP Address: 203.0.113.9");
}

TEST_F(TrayUpdateLoopTest, IdlePassesShowTheRecordedAddressesAndTheNoticeComesOnceAtMost) {
  server_.SetReply("/nic/update", standin::Text("oldversion"));
  Pass();
  now_ = 601;
  settings_.Write(keys::kCheckMinutes, 0);
  Pass();
  EXPECT_EQ(std::count(events_.begin(), events_.end(), "notice"), 1);

  // A client that had an idle pass first never shows the notice in that run.
  settings_.Write(keys::kUpdatedIp, "203.0.113.9");
  settings_.Write(keys::kUpdatedMinutes, 601);
  settings_.Write(keys::kCheckMinutes, 601);
  settings_.Write(keys::kUpdatedIpV6, "2001:db8::9");
  CTrayUpdateLoop fresh_loop(state_, TrayLoopHooks{nullptr, nullptr, nullptr,
                                                   [this](const std::string&) { events_.push_back("notice"); }});
  const auto fresh_pass = [&] {
    fresh_loop.Pass(settings_, [this](UpdateCycleContext& context) { Customize(context); });
  };
  fresh_pass();
  EXPECT_EQ(state_.StatusText(), "Current IPv6 Address: 2001:db8::9");
  settings_.Write(keys::kCheckMinutes, 0);
  settings_.Write(keys::kUpdatedMinutes, 0);
  fresh_pass();
  EXPECT_EQ(std::count(events_.begin(), events_.end(), "notice"), 1);
}

}  // namespace
}  // namespace zelquo::gui
