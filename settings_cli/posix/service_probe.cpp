// systemctl runs as a child process with its output read through a pipe (no shell: the unit
// name is the only argument that varies, and it is fixed). It is found by its full path, not
// through the caller's PATH, gets a clean environment (root's PATH and the C locale, whatever
// the caller's was), is told never to ask for a password, and is waited for at most
// kSystemctlTimeout: a systemctl that hangs is killed and its answer counts as unknown. Without
// systemd, /proc tells whether the daemon program beside this one runs.
#include "service_probe.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/service_identity.h"
#include "platform/module_path.h"

namespace zelquo::settings_cli {
namespace {

struct CommandResult {
  int exit_status = -1;
  std::string output;
};

using Clock = std::chrono::steady_clock;
constexpr std::chrono::seconds kSystemctlTimeout{5};
constexpr char kSystemctlPaths[][20] = {"/usr/bin/systemctl", "/bin/systemctl"};

// The first systemctl of kSystemctlPaths that may be run, or nullptr.
const char* SystemctlPath() {
  for (const char* path : kSystemctlPaths) {
    if (access(path, X_OK) == 0) return path;
  }
  return nullptr;
}

// Whether the child has ended by deadline; it is reaped either way, killed (with its process
// group) when it has not.
bool ReapBy(pid_t pid, Clock::time_point deadline, int& status) {
  for (;;) {
    const pid_t reaped = waitpid(pid, &status, WNOHANG);
    if (reaped == pid) return true;
    if (reaped < 0 && errno != EINTR) return false;
    if (Clock::now() >= deadline) break;
    poll(nullptr, 0, 20);
  }
  kill(-pid, SIGKILL);
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return false;
}

// Runs the program at path with standard output captured and standard error discarded, in a
// process group of its own with the clean environment; nullopt when it could not be run or did
// not end within kSystemctlTimeout.
std::optional<CommandResult> RunCommand(const char* path, std::vector<std::string> arguments) {
  if (path == nullptr) return std::nullopt;
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::string search_path = "PATH=/usr/sbin:/usr/bin:/sbin:/bin";
  std::string locale = "LC_ALL=C";
  char* environment[] = {search_path.data(), locale.data(), nullptr};
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, path, &actions, &attributes, argv.data(), environment);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  if (spawned != 0) {
    close(pipe_fds[0]);
    return std::nullopt;
  }
  const auto deadline = Clock::now() + kSystemctlTimeout;
  CommandResult result;
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    pollfd entry{pipe_fds[0], POLLIN, 0};
    const int ready = poll(&entry, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    char buffer[4096];
    const ssize_t got = read(pipe_fds[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    result.output.append(buffer, static_cast<std::size_t>(got));
  }
  close(pipe_fds[0]);
  int status = 0;
  if (!ReapBy(pid, deadline, status)) return std::nullopt;
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::optional<CommandResult> RunSystemctl(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"systemctl", "--no-ask-password"});
  return RunCommand(SystemctlPath(), std::move(arguments));
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
      RunSystemctl({"show", "--property=LoadState,ActiveState", kDaemonUnit});
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
      RunSystemctl({"kill", "--kill-whom=main", "--signal=HUP", kDaemonUnit});
  return sent && sent->exit_status == 0;
}

}  // namespace zelquo::settings_cli
