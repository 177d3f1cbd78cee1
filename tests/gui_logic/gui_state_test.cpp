// The shared GUI state: the wait that a fresh-update request or a network change ends, and the two texts under
// writers and readers on several threads (the ThreadSanitizer run checks the lock).
#include "logic/gui_state.h"

#include <gtest/gtest.h>

#include <thread>

#include "settings/settings_path.h"
#include "test_files.h"

namespace zelquo::gui {
namespace {

using namespace std::chrono_literals;

TEST(GuiStateTest, AFreshUpdateRequestEndsOneWaitAndResetsTheChangeCheck) {
  int slept_seconds = 0;
  CGuiState state([] { return std::tm{}; }, [&](std::chrono::milliseconds d) { slept_seconds += int(d / 1s); });
  state.WaitForWakeUp(3);
  EXPECT_EQ(slept_seconds, 3);

  testing::CScratchFolder folder;
  const CSettingsFile settings(folder.File(kSettingsFileName));
  settings.Write(keys::kUpdatedIp, "203.0.113.9");
  settings.Write(keys::kCheckMinutes, 600);
  settings.Write(keys::kUpdatedMinutes, 600);
  state.RequestFreshUpdate(settings);
  EXPECT_EQ(settings.Read(keys::kUpdatedIp), "");
  EXPECT_EQ(settings.Read(keys::kCheckMinutes), 0);
  EXPECT_EQ(settings.Read(keys::kUpdatedMinutes), 0);
  state.WaitForWakeUp(60);
  EXPECT_EQ(slept_seconds, 3) << "the requested update ends the wait at once";
  state.WaitForWakeUp(2);
  EXPECT_EQ(slept_seconds, 5) << "and only that one wait";
}

// A network change, on the listener's thread, ends one wait of the update thread.
TEST(GuiStateTest, ANetworkWakeUpFromAnotherThreadEndsOneWait) {
  int slept_seconds = 0;
  CGuiState state([] { return std::tm{}; }, [&](std::chrono::milliseconds d) { slept_seconds += int(d / 1s); });
  std::thread([&] { state.WakeUp(); }).join();
  state.WaitForWakeUp(60);
  state.WaitForWakeUp(2);
  EXPECT_EQ(slept_seconds, 2);
}

TEST(GuiStateTest, TextsWrittenAndReadOnSeveralThreads) {
  CGuiState state([] { return std::tm{}; });
  std::thread writer([&] {
    for (int i = 0; i < 2000; ++i) {
      state.LogActivity("pass " + std::to_string(i));
      state.SetStatusText("status " + std::to_string(i));
    }
  });
  std::size_t longest = 0;
  for (int i = 0; i < 2000; ++i) {
    longest = std::max(longest, state.ActivityLog().size());
    (void)state.StatusText();
  }
  writer.join();
  EXPECT_LE(longest, 3000u);
  EXPECT_EQ(state.StatusText(), "status 1999");
  EXPECT_EQ(state.ActivityLog().substr(0, 23), "12:00:00 AM>pass 1999\r\n");
}

}  // namespace
}  // namespace zelquo::gui
