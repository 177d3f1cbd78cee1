// The update cycle beside the settings command: the POSIX store lands every change whole, so a
// pass never sees part of one. (The Windows profile functions write key by key.)
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "crypto/md5.h"
#include "crypto/scramble.h"
#include "cycle/update_cycle.h"
#include "settings/settings_path.h"
#include "standin_provider/standin_server.h"
#include "test_files.h"

namespace zelquo {
namespace {

using namespace std::chrono_literals;

class CDiscardingWait final : public PollIntervalWait {
 public:
  void Wait(int /*seconds*/) override {}
};

// Passes on a thread while the account and the host list change as the settings command changes
// them: no pass sends a user name beside a password stored with another, nor a host name twice.
TEST(UpdateCycleBesideChangesTest, NoPassSeesHalfAChange) {
  testing::CScratchFolder folder;
  const CSettingsFile settings(folder.File(kSettingsFileName));
  standin::Server server;
  settings.Write(keys::kServerPort, server.Listen());
  server.SetReply("/nic/update", standin::Text("good 203.0.113.9"));
  server.Start();
  CDiscardingWait wait;
  UpdateCycleContext context(settings, wait, ProtocolProgram::kService);
  context.api_host = "127.0.0.1";
  context.http_timeout = 5s;
  context.ip_check_attempts = {};
  context.detect = [] { return std::string("203.0.113.9"); };
  CUpdateLoopState loop;
  const auto store_account = [&](int k) {
    (void)settings.Change([k](CSettingsChange& change) {
      change.Write(keys::kUsername, "user" + std::to_string(k));
      change.Write(keys::kPassword, ScrambleText("secret" + std::to_string(k)));
    });
  };
  store_account(0);
  std::atomic<bool> stop{false};
  std::vector<std::vector<std::string>> passes;
  std::thread cycle([&] {
    while (!stop) {
      RunUpdateCycle(context, loop);
      passes.push_back(server.Targets());
      server.ClearRequests();
    }
  });
  // The list goes [] [a] [a b] [b] [] ...: removing the first of two rows moves the second.
  for (int k = 1; k <= 60; ++k) {
    store_account(k);
    switch (k % 4) {
      case 1: (void)settings.AppendEntry(keys::kDomainNames, "a.example.org"); break;
      case 2: (void)settings.AppendEntry(keys::kDomainNames, "b.example.org"); break;
      default: (void)settings.RemoveRow(keys::kDomainNames, 1); break;
    }
    std::this_thread::sleep_for(1ms);
  }
  stop = true;
  cycle.join();
  std::size_t account_requests = 0;
  for (const std::vector<std::string>& targets : passes) {
    std::set<std::string> hosts;
    for (const std::string& target : targets) {
      const auto user = target.find("username=user");
      if (user != std::string::npos) {
        ++account_requests;
        const std::string k = target.substr(user + 13, target.find('&', user) - user - 13);
        EXPECT_NE(target.find("&password=" + Md5Hex("secret" + k) + "&"), std::string::npos) << target;
      }
      const auto host = target.find("hostname=");
      if (host != std::string::npos) {
        EXPECT_TRUE(hosts.insert(target.substr(host, target.find('&', host) - host)).second) << target;
      }
    }
  }
  EXPECT_GT(passes.size(), 10u);
  EXPECT_GT(account_requests, 0u);
}

}  // namespace
}  // namespace zelquo
