// The custom command through the real command interpreter (sh -c), quotes and all, and how a
// command that does not end is ended.
#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "cycle/posix/shell_command.h"
#include "cycle/update_cycle.h"
#include "platform/posix/stop_request.h"
#include "test_files.h"

namespace zelquo {
namespace {

TEST(CustomCommandTest, AQuotedProgramPathRunsWithItsQuotedArguments) {
  testing::CScratchFolder folder;
  const std::filesystem::path tools = folder.Path() / "tools dir";
  std::filesystem::create_directory(tools);
  const std::string script = (tools / "run me.sh").string();
  testing::WriteBytes(script, "#!/bin/sh\nprintf '%s|' \"$@\" >\"$(dirname \"$0\")/ran.txt\"\n");
  ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
  RunCustomCommand("\"" + script + "\" \"first arg\" \"a&b\"");
  EXPECT_EQ(testing::ReadBytes((tools / "ran.txt").string()), "first arg|a&b|");
}

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// The process id a command wrote to a file, once it is there.
pid_t WrittenPid(const std::filesystem::path& file) {
  for (int tries = 0; tries < 200; ++tries) {
    std::ifstream in(file);
    pid_t pid = 0;
    if (in >> pid && pid > 0) return pid;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return 0;
}

// Gone, or a zombie left for its new parent to reap. A SIGKILL is delivered asynchronously, so
// on a busy machine the process may need a moment after the signal to be torn down.
bool ProcessGone(pid_t pid) {
  for (int tries = 0; tries < 100; ++tries) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pid_field, name, state;
    if (!(stat >> pid_field >> name >> state) || state == "Z" || state == "X") return true;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return false;
}

TEST(ShellCommandTest, ACommandThatEndsByItselfIsWaitedFor) {
  testing::CScratchFolder folder;
  const std::string out = (folder.Path() / "out.txt").string();
  EXPECT_EQ(RunShellCommand("sleep 0.2; echo done >'" + out + "'"), ShellCommandEnd::kExited);
  EXPECT_EQ(testing::ReadBytes(out), "done\n");
}

// The shell and a child that both ignore SIGTERM, the way a hanging script might: past the
// time-out the whole group ends, by SIGKILL after the grace.
TEST(ShellCommandTest, TheTimeOutEndsTheWholeGroup) {
  testing::CScratchFolder folder;
  const std::filesystem::path pid_file = folder.Path() / "child.pid";
  const auto started = Clock::now();
  const ShellCommandEnd end = RunShellCommand(
      "trap '' TERM; sleep 30 & echo $! >'" + pid_file.string() + "'; wait", milliseconds(300), milliseconds(200));
  const auto took = Clock::now() - started;
  EXPECT_EQ(end, ShellCommandEnd::kTimedOut);
  EXPECT_LT(took, milliseconds(2000));
  const pid_t child = WrittenPid(pid_file);
  ASSERT_GT(child, 0);
  EXPECT_TRUE(ProcessGone(child));
}

TEST(ShellCommandTest, TheStopRequestEndsACommandAtOnce) {
  std::thread stopper([] {
    std::this_thread::sleep_for(milliseconds(200));
    platform::RequestStop();
  });
  const auto started = Clock::now();
  const ShellCommandEnd end = RunShellCommand("sleep 30");
  const auto took = Clock::now() - started;
  stopper.join();
  platform::detail::WithdrawStopRequestForTest();
  EXPECT_EQ(end, ShellCommandEnd::kStopped);
  EXPECT_LT(took, milliseconds(1500));
}

TEST(ShellCommandTest, NoCommandStartsOnceTheStopIsRequested) {
  testing::CScratchFolder folder;
  const std::string out = (folder.Path() / "out.txt").string();
  platform::RequestStop();
  const ShellCommandEnd end = RunShellCommand("echo ran >'" + out + "'");
  platform::detail::WithdrawStopRequestForTest();
  EXPECT_EQ(end, ShellCommandEnd::kStopped);
  EXPECT_FALSE(std::filesystem::exists(out));
}

// system() would have the caller ignore SIGINT while the command runs; the daemon must not.
TEST(ShellCommandTest, TheCallerKeepsItsSignalsWhileTheCommandRuns) {
  struct sigaction during {};
  std::thread watcher([&during] {
    std::this_thread::sleep_for(milliseconds(150));
    sigaction(SIGINT, nullptr, &during);
  });
  EXPECT_EQ(RunShellCommand("sleep 0.4"), ShellCommandEnd::kExited);
  watcher.join();
  EXPECT_NE(during.sa_handler, SIG_IGN);
}

}  // namespace
}  // namespace zelquo
