// The terminal through termios. While echo is off, the signals that end a program by default
// (SIGINT from Ctrl+C, SIGQUIT, SIGTERM, SIGHUP) first put the saved settings back, then end it
// as they would have, so a shell never inherits a terminal that hides what is typed.
#include "terminal.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace zelquo::settings_cli {
namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

// Read by the signal handler; written only while the ending signals are blocked.
struct termios g_saved_terminal {};
volatile sig_atomic_t g_terminal_saved = 0;

void RestoreTerminalAndEnd(int signal_number) {
  if (g_terminal_saved != 0) tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_terminal);
  // The handler was reset to the default on entry (SA_RESETHAND); the signal, blocked until this
  // handler returns, then ends the program as it would have without us.
  raise(signal_number);
}

class CSignalBlock {
 public:
  CSignalBlock() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal_number : kEndingSignals) sigaddset(&set, signal_number);
    sigprocmask(SIG_BLOCK, &set, &previous_);
  }
  ~CSignalBlock() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  CSignalBlock(const CSignalBlock&) = delete;
  CSignalBlock& operator=(const CSignalBlock&) = delete;

 private:
  sigset_t previous_;
};

// Echo off for its lifetime; the line end the user types is still shown (ECHONL).
class CEchoOff {
 public:
  CEchoOff() {
    struct termios current {};
    if (tcgetattr(STDIN_FILENO, &current) != 0) return;
    const CSignalBlock block;
    g_saved_terminal = current;
    g_terminal_saved = 1;
    struct sigaction action {};
    action.sa_handler = &RestoreTerminalAndEnd;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) sigaction(kEndingSignals[i], &action, &previous_[i]);
    current.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    current.c_lflag |= ECHONL;
    tcsetattr(STDIN_FILENO, TCSANOW, &current);
    active_ = true;
  }
  ~CEchoOff() {
    if (!active_) return;
    const CSignalBlock block;
    tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_terminal);
    g_terminal_saved = 0;
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) sigaction(kEndingSignals[i], &previous_[i], nullptr);
  }
  CEchoOff(const CEchoOff&) = delete;
  CEchoOff& operator=(const CEchoOff&) = delete;

 private:
  bool active_ = false;
  struct sigaction previous_[std::size(kEndingSignals)] {};
};

// One byte at a time, so that nothing after the line is taken from the input.
// A line cut short keeps one byte more than a whole one may have (two, with the room for a CR).
std::optional<std::string> ReadLine() {
  std::string line;
  while (line.size() <= kMaxInputLine + 1) {
    char c = 0;
    const ssize_t got = read(STDIN_FILENO, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (line.empty()) return std::nullopt;
      break;
    }
    if (c == '\n') break;
    line += c;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

bool StandardInputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

std::optional<std::string> AskLine(std::string_view prompt, bool echo) {
  // Echo goes off before the prompt shows, so that nothing typed at once after it is echoed.
  std::optional<CEchoOff> echo_off;
  if (!echo) echo_off.emplace();
  std::fwrite(prompt.data(), 1, prompt.size(), stderr);
  std::fflush(stderr);
  std::optional<std::string> line = ReadLine();
  // The rest of a line too long is dropped, so that neither the next prompt nor the shell after
  // this command reads it.
  if (line && line->size() > kMaxInputLine) tcflush(STDIN_FILENO, TCIFLUSH);
  return line;
}

std::optional<std::string> ReadStandardInputLine() { return ReadLine(); }

}  // namespace zelquo::settings_cli
