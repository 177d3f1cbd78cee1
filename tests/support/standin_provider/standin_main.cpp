// standin-provider: the stand-in provider server as a program of its own, for tests that run the
// real client programs (inside network namespaces, say) and check what they sent.
//
//   standin-provider --listen ADDR:PORT [--listen ADDR:PORT ...] --script FILE --record FILE
//                    [--ready FILE]
//
// ADDR is a numeric IPv4 address or a bracketed IPv6 one ("[::1]:8245"); PORT 0 picks a free
// port. The program serves until SIGTERM or SIGINT, then exits with status 0. Status 2 means bad
// arguments or a bad script, 1 a listening socket or file that could not be opened.
//
// Script: one rule per line; blank lines and lines whose first non-blank is '#' are ignored.
//
//   PATH STATUS [OPTION ...] [BODY]
//
//   PATH     the request path without the query, beginning with '/', e.g. /nic/update
//   STATUS   0 to 999 (still required, though unused, with close and silent)
//   OPTIONs, in any order:
//     port=N           the rule applies to connections to local port N only; these rules take
//                      precedence over rules without port= for the same path
//     delay=MS         wait MS milliseconds (after recording the request) before acting
//     close            close the connection without answering
//     silent           never answer; hold the connection until the program ends
//     keepopen         answer, then hold the connection open instead of closing it
//     filler=N         append N 'x' bytes to the body (streamed, any size)
//     endless          after the body, 'x' bytes without end and without Content-Length
//     trickle=MS       send everything after the head one byte every MS milliseconds
//     trickle-head=MS  send the head one byte every MS milliseconds
//     header=NAME:VAL  an extra answer header; repeatable. A Content-Length or Connection
//                      header replaces the one the server would send
//     reason=TEXT      the reason phrase instead of the standard one
//     --               ends the options: the body is the rest of the line after one blank
//   BODY     the rest of the line from the first word that is not an option, inner blanks kept,
//            no line feed added.
//   Body, header values and reason take the escapes \n \r \t \\ and \xHH (so a blank in a header
//   value or a reason is \x20, trailing blanks of a body are \x20 too).
//
// Several rules for one path (and port) are answered in order, the last one repeating. A path
// without rules is answered 404 with an empty body. Example:
//
//   # the first update is refused, every later one accepted
//   /nic/update 401 header=WWW-Authenticate:Basic\x20realm="x"
//   /nic/update 200 good 192.0.2.1
//   # ... except on port 8245, which does not know the path
//   /nic/update 404 port=8245
//   /ipcheck.asp 200 delay=250 -- ip192.0.2.1\r\n
//   /slow 200 silent
//
// Record: the file is created (emptied) at start; one line per request is appended and flushed
// as it arrives, in arrival order. Fields are separated by tabs:
//
//   LOCALPORT <TAB> METHOD <TAB> TARGET [<TAB> Name: value]...
//
// with the headers in the order sent and their names as sent. A request the server could not
// parse (answered 400 or 431, or cut short) is recorded as
//
//   LOCALPORT <TAB> (malformed) <TAB> WHY <TAB> RAW-HEAD
//
// ("(malformed)" can never be a method). In every field a backslash is written \\, a tab \t,
// CR \r, LF \n and any other control byte \xHH; other bytes are written as they came. So
// `cut -f3` gives the targets, and `grep -c '	Authorization: '` counts authorised requests.
//
// Ready file: once every socket listens, the file is written (through a rename, so it never
// appears half-written) with the bound ports, one per line in --listen order. An old ready file
// is removed first.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "standin_script.h"
#include "standin_server.h"

namespace {

volatile std::sig_atomic_t g_stop_requested = 0;

extern "C" void OnStopSignal(int) { g_stop_requested = 1; }

struct Options {
  std::vector<std::string> listens;
  std::string script;
  std::string record;
  std::string ready;
};

constexpr char kUsage[] =
    "usage: standin-provider --listen ADDR:PORT [--listen ADDR:PORT ...] --script FILE "
    "--record FILE [--ready FILE]\n";

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (i + 1 >= argc) return false;
    const std::string value = argv[++i];
    if (name == "--listen") {
      options.listens.push_back(value);
    } else if (name == "--script") {
      options.script = value;
    } else if (name == "--record") {
      options.record = value;
    } else if (name == "--ready") {
      options.ready = value;
    } else {
      return false;
    }
  }
  return !options.listens.empty() && !options.script.empty() && !options.record.empty();
}

bool WriteReadyFile(const std::string& path, const std::vector<std::uint16_t>& ports) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    for (const std::uint16_t port : ports) out << port << '\n';
    if (!out.flush()) return false;
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  return !error;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::cerr << kUsage;
    return 2;
  }

  std::vector<standin::ScriptRule> rules;
  {
    std::ifstream in(options.script, std::ios::binary);
    if (!in) {
      std::cerr << "standin-provider: cannot read the script " << options.script << "\n";
      return 2;
    }
    std::ostringstream text;
    text << in.rdbuf();
    try {
      rules = standin::ParseScript(text.str());
    } catch (const std::runtime_error& error) {
      std::cerr << "standin-provider: " << options.script << ": " << error.what() << "\n";
      return 2;
    }
  }

  std::vector<std::pair<std::string, std::uint16_t>> endpoints;
  for (const std::string& listen : options.listens) {
    std::string address;
    std::uint16_t port = 0;
    if (!standin::SplitListenAddress(listen, address, port)) {
      std::cerr << "standin-provider: --listen needs ADDR:PORT or [ADDR]:PORT, not " << listen
                << "\n";
      return 2;
    }
    endpoints.emplace_back(address, port);
  }

  if (!options.ready.empty()) {
    std::error_code ignored;
    std::filesystem::remove(options.ready, ignored);
  }
  std::FILE* record = std::fopen(options.record.c_str(), "wb");
  if (record == nullptr) {
    std::cerr << "standin-provider: cannot write the record " << options.record << "\n";
    return 1;
  }

  int status = 0;
  {
    standin::Server server;
    try {
      standin::ApplyScript(server, rules);
      server.SetRequestObserver([record](const standin::RecordedRequest& request) {
        const std::string line = standin::RecordLine(request) + "\n";
        std::fwrite(line.data(), 1, line.size(), record);
        std::fflush(record);
      });
      for (const auto& [address, port] : endpoints) server.Listen(address, port);
      std::signal(SIGINT, OnStopSignal);
      std::signal(SIGTERM, OnStopSignal);
      server.Start();
    } catch (const std::exception& error) {
      std::cerr << "standin-provider: " << error.what() << "\n";
      status = 1;
    }
    if (status == 0 && !options.ready.empty() && !WriteReadyFile(options.ready, server.Ports())) {
      std::cerr << "standin-provider: cannot write the ready file " << options.ready << "\n";
      status = 1;
    }
    while (status == 0 && g_stop_requested == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    server.Stop();
  }
  std::fclose(record);
  return status;
}
