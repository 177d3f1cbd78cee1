// systemctl runs as a child process with its output read through a pipe (no shell: the unit
// name is the only argument that varies, and it is fixed). Without systemd, /proc tells whether
// the daemon program beside this one runs.
#include "service_probe.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/service_identity.h"
#include "platform/module_path.h"

extern char** environ;

namespace zelquo::settings_cli {
namespace {

struct CommandResult {
  int exit_status = -1;
  std::string output;
};

// Runs argv[0] from PATH with standard output captured and standard error discarded.
std::optional<CommandResult> RunCommand(std::vector<std::string> arguments) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  CommandResult result;
  if (spawned == 0) {
    char buffer[4096];
    for (;;) {
      const ssize_t got = read(pipe_fds[0], buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      result.output.append(buffer, static_cast<std::size_t>(got));
    }
  }
  close(pipe_fds[0]);
  if (spawned != 0) return std::nullopt;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return std::nullopt;
  }
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// systemd's own test of whether it manages this machine.
bool SystemdRuns() {
  struct stat info {};
  return lstat("/run/systemd/system", &info) == 0 && S_ISDIR(info.st_mode);
}

std::string PropertyValue(const std::string& output, const std::string& name) {
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.starts_with(name + "=")) return line.substr(name.size() + 1);
  }
  return {};
}

std::optional<std::uint32_t> SystemdUnitState() {
  const std::optional<CommandResult> shown =
      RunCommand({"systemctl", "show", "--property=LoadState,ActiveState", kDaemonUnit});
  if (!shown || shown->exit_status != 0) return std::nullopt;
  const std::string load = PropertyValue(shown->output, "LoadState");
  const std::string active = PropertyValue(shown->output, "ActiveState");
  if (load.empty() || active.empty()) return std::nullopt;
  if (load == "not-found") return 0;
  if (active == "active" || active == "reloading") return service::kRunning;
  if (active == "activating") return service::kStartPending;
  if (active == "deactivating") return service::kStopPending;
  return service::kStopped;
}

std::string FirstArgument(const std::string& pid) {
  std::ifstream file("/proc/" + pid + "/cmdline", std::ios::binary);
  std::string argument;
  std::getline(file, argument, '\0');
  return argument;
}

// Whether a process runs `program`: its executable where /proc lets us see it (another user's
// process hides it), else its first argument.
bool SomeProcessRuns(const std::string& program) {
  DIR* const proc = opendir("/proc");
  if (proc == nullptr) return false;
  bool found = false;
  while (const dirent* entry = readdir(proc)) {
    const std::string pid = entry->d_name;
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    char target[4096];
    const ssize_t length = readlink(("/proc/" + pid + "/exe").c_str(), target, sizeof target);
    const std::string executable = length > 0 ? std::string(target, static_cast<std::size_t>(length))
                                              : FirstArgument(pid);
    if (executable == program) {
      found = true;
      break;
    }
  }
  closedir(proc);
  return found;
}

std::uint32_t ProgramState() {
  std::string program = platform::GetModuleFilePath();
  program.erase(program.rfind('/') + 1);
  program += kDaemonProgramName;
  if (SomeProcessRuns(program)) return service::kRunning;
  if (access(program.c_str(), X_OK) == 0) return service::kStopped;
  return 0;
}

}  // namespace

DaemonState QueryDaemonState() {
  if (SystemdRuns()) return DaemonState{SystemdUnitState(), true};
  return DaemonState{ProgramState(), false};
}

bool WakeDaemon() {
  if (!SystemdRuns() || SystemdUnitState() != service::kRunning) return false;
  // The main process only: a custom command that runs at the moment must not get the signal.
  const std::optional<CommandResult> sent =
      RunCommand({"systemctl", "kill", "--kill-whom=main", "--signal=HUP", kDaemonUnit});
  return sent && sent->exit_status == 0;
}

}  // namespace zelquo::settings_cli
