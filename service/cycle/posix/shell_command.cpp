// posix_spawn rather than fork: the service has several threads, and the child gets its own
// process group, an empty signal mask and default dispositions for every signal before exec
// (an ignored SIGINT or SIGPIPE would otherwise pass on to the command). The shell is waited for
// by short polls of the stop request, so that a stop is seen at once and the shell's end within
// a few tens of milliseconds.
#include "cycle/posix/shell_command.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/stop_request.h"

extern char** environ;

namespace zelquo {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kExitPollPeriod{25};

// Whether the child has ended, leaving it unreaped: its process id, and with it the group's,
// cannot be taken by another process while the group is still to be signalled.
bool HasEnded(pid_t pid) {
  siginfo_t info{};
  for (;;) {
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0) return info.si_pid == pid;
    if (errno != EINTR) return true;  // not our child any more: nothing to wait for
  }
}

void Reap(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

// Sleeps up to period, less when the stop request comes. True when the stop is requested.
bool PauseUnlessStopped(std::chrono::milliseconds period) {
  pollfd entry{platform::StopRequestFd(), POLLIN, 0};
  const int ready = poll(&entry, 1, static_cast<int>(period.count()));
  return ready > 0 && (entry.revents & POLLIN) != 0;
}

// SIGTERM to the group, SIGKILL once the grace has passed (to what is left of it, the shell's
// children too, even when the shell itself went at once), then the shell is reaped.
void EndGroup(pid_t group, std::chrono::milliseconds grace) {
  kill(-group, SIGTERM);
  const auto until = Clock::now() + grace;
  while (!HasEnded(group) && Clock::now() < until) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    poll(nullptr, 0, static_cast<int>(std::clamp(left, std::chrono::milliseconds(1), kExitPollPeriod).count()));
  }
  kill(-group, SIGKILL);
  Reap(group);
}

}  // namespace

ShellCommandEnd RunShellCommand(const std::string& command_line, std::chrono::milliseconds timeout,
                                std::chrono::milliseconds kill_grace) {
  // A command would only be started to be killed at once.
  if (platform::StopRequested()) return ShellCommandEnd::kStopped;
  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) return ShellCommandEnd::kNotStarted;
  sigset_t no_signals;
  sigset_t all_signals;
  sigemptyset(&no_signals);
  sigfillset(&all_signals);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setsigmask(&attributes, &no_signals);
  posix_spawnattr_setsigdefault(&attributes, &all_signals);

  std::string shell_name = "sh";
  std::string option = "-c";
  std::string line = command_line;
  char* arguments[] = {shell_name.data(), option.data(), line.data(), nullptr};
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, "/bin/sh", nullptr, &attributes, arguments, environ);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) return ShellCommandEnd::kNotStarted;

  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (HasEnded(pid)) {
      Reap(pid);
      return ShellCommandEnd::kExited;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      EndGroup(pid, kill_grace);
      return ShellCommandEnd::kTimedOut;
    }
    if (PauseUnlessStopped(std::min(left, kExitPollPeriod))) {
      EndGroup(pid, kill_grace);
      return ShellCommandEnd::kStopped;
    }
  }
}

}  // namespace zelquo
