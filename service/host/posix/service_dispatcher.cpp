// Runs the service in the foreground, as systemd expects, with signals for controls: SIGTERM
// and SIGINT stop, SIGUSR1 pauses, SIGUSR2 continues, SIGHUP (the settings changed) ends the
// wait between passes so that a pass follows at once. The signal handlers only write the signal
// number to a pipe; a dispatcher thread reads it and calls the service's Handler, as the Windows
// dispatcher thread does. Handlers (not blocked masks) keep the custom command's processes free
// of inherited signal masks. A stop is also made the process's stop request at once, so that an
// exchange or a custom command under way ends rather than holding the stop up.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "host/posix/signal_controls.h"
#include "platform/posix/stop_request.h"
#include "host/service_host.h"
#include "host/service_identity.h"

namespace zelquo::service {
namespace {

constexpr int kControlSignals[] = {SIGTERM, SIGINT, SIGUSR1, SIGUSR2, SIGHUP};
constexpr unsigned char kEndOfDispatch = 0;

std::atomic<bool> g_dispatcher_running{false};
std::atomic<int> g_signal_pipe_write{-1};

void OnControlSignal(int signal_number) {
  const int saved_errno = errno;
  const auto byte = static_cast<unsigned char>(signal_number);
  const int fd = g_signal_pipe_write;
  if (fd >= 0 && write(fd, &byte, 1) < 0) {
    // Nothing can be done about a full or closed pipe inside a signal handler.
  }
  errno = saved_errno;
}

std::uint32_t ControlForSignal(int signal_number) {
  switch (signal_number) {
    case SIGUSR1: return kControlPause;
    case SIGUSR2: return kControlContinue;
    case SIGHUP: return kControlParamChange;
    default: return kControlStop;
  }
}

void DispatchSignals(int read_fd) {
  for (;;) {
    unsigned char byte = 0;
    const ssize_t got = read(read_fd, &byte, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || byte == kEndOfDispatch) return;
    const std::uint32_t control = ControlForSignal(byte);
    if (control == kControlStop) platform::RequestStop();
    if (CServiceHost* host = CServiceHost::Current()) host->Handler(control);
  }
}

}  // namespace

namespace posix {
bool SignalDispatcherRunning() { return g_dispatcher_running; }
}  // namespace posix

bool CServiceHost::StartDispatcher() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  // A handler must never block: with the pipe full (a burst of signals the thread has not read
  // yet), a further byte is dropped rather than stalling whichever thread took the signal.
  const int write_flags = fcntl(fds[1], F_GETFL);
  if (write_flags < 0 || fcntl(fds[1], F_SETFL, write_flags | O_NONBLOCK) != 0) {
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  g_signal_pipe_write = fds[1];

  struct sigaction action {};
  action.sa_handler = &OnControlSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  std::vector<struct sigaction> previous(std::size(kControlSignals));
  for (std::size_t i = 0; i < std::size(kControlSignals); ++i) sigaction(kControlSignals[i], &action, &previous[i]);

  g_dispatcher_running = true;
  std::thread dispatcher(&DispatchSignals, fds[0]);
  std::string name = ServiceName();
  char* argv[] = {name.data(), nullptr};
  Run(1, argv);
  g_dispatcher_running = false;

  for (std::size_t i = 0; i < std::size(kControlSignals); ++i) sigaction(kControlSignals[i], &previous[i], nullptr);
  if (write(fds[1], &kEndOfDispatch, 1) < 0) {
    // A pipe that cannot take one byte leaves the thread waiting; closing the write end ends it.
    close(fds[1]);
    fds[1] = -1;
  }
  dispatcher.join();
  g_signal_pipe_write = -1;
  close(fds[0]);
  if (fds[1] >= 0) close(fds[1]);
  return true;
}

}  // namespace zelquo::service
