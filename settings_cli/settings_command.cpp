#include "settings_command.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <functional>
#include <optional>
#include <ostream>
#include <string_view>

#include "crypto/scramble.h"
#include "logic/connection_type_page.h"
#include "logic/domain_names_page.h"
#include "logic/gui_state.h"
#include "logic/ignore_ip_page.h"
#include "logic/misc_page.h"
#include "service_probe.h"
#include "settings_access.h"
#include "terminal.h"

namespace zelquo::settings_cli {
namespace {

using namespace gui;
using Arguments = std::vector<std::string>;

class CCommandRun;
using Handler = int (*)(CCommandRun& run, const Arguments& arguments);

struct Subcommand {
  std::string_view name;
  std::string_view synopsis;  // one line per form, without "zelquoiuc "
  std::string_view summary;   // for the overview
  std::string_view details;   // for the subcommand's own help
  Handler run;
};

// One run of the command: the page logic's messages are refusals and go to standard error; a
// fresh update it requests is made once the action has gone through, so that input the page
// refuses leaves the file as it was.
class CCommandRun {
 public:
  CCommandRun(const CommandEnvironment& environment, const Subcommand& subcommand)
      : environment_(environment), subcommand_(subcommand), settings_(environment.settings) {
    settings_.SetWriteFailureHandler([this] { ReportWriteFailure(); });
  }
  CCommandRun(const CCommandRun&) = delete;
  CCommandRun& operator=(const CCommandRun&) = delete;

  const CSettingsFile& Settings() const { return settings_; }
  std::ostream& Out() const { return environment_.out; }

  PageContext Context() {
    PageContext context(settings_);
    context.show_message = [this](const std::string& text) { Refuse(text); };
    context.request_fresh_update = [this] { fresh_update_requested_ = true; };
    return context;
  }

  void Refuse(std::string_view text) {
    environment_.err << text << '\n';
    refused_ = true;
  }
  int Refused(std::string_view text) {
    Refuse(text);
    return kRefused;
  }
  [[nodiscard]] bool WasRefused() const { return refused_; }

  int UsageError(std::string_view problem) const {
    environment_.err << "zelquoiuc " << subcommand_.name << ": " << problem << '\n';
    PrintSynopsis(environment_.err);
    environment_.err << "Try 'zelquoiuc " << subcommand_.name << " --help' for more.\n";
    return kUsageError;
  }

  void PrintSynopsis(std::ostream& stream) const {
    std::string_view forms = subcommand_.synopsis;
    while (!forms.empty()) {
      const std::size_t end = forms.find('\n');
      stream << "Usage: zelquoiuc " << forms.substr(0, end) << '\n';
      forms = end == std::string_view::npos ? std::string_view() : forms.substr(end + 1);
    }
  }

  // False (after saying why) when this user may not read, or with for_writing change, the file.
  bool MayUseSettings(bool for_writing) {
    const std::string problem = SettingsFileProblem(Settings().Path(), for_writing);
    if (problem.empty()) return true;
    Refuse(problem);
    return false;
  }

  // The page logic's last request for a fresh update is dropped: the action did not go through.
  void ForgetFreshUpdate() { fresh_update_requested_ = false; }

  // Writes the fresh-update keys and wakes the daemon, when the page logic asked for it.
  void MakeRequestedFreshUpdate() {
    if (fresh_update_requested_) RequestFreshUpdate();
    fresh_update_requested_ = false;
  }
  bool RequestFreshUpdate() const {
    WriteFreshUpdateKeys(Settings());
    return WakeDaemon();
  }

  int Finish() {
    // Nothing was changed that the daemon should send.
    if (write_failed_) fresh_update_requested_ = false;
    MakeRequestedFreshUpdate();
    return refused_ ? kRefused : kDone;
  }

 private:
  // Said once: one failed write mostly means the next fails for the same reason.
  void ReportWriteFailure() {
    if (!write_failed_) Refuse(WriteFailureProblem(settings_.Path()));
    write_failed_ = true;
  }

  const CommandEnvironment& environment_;
  const Subcommand& subcommand_;
  CSettingsFile settings_;  // the environment's, with write failures reported
  bool refused_ = false;
  bool write_failed_ = false;
  bool fresh_update_requested_ = false;
};

void PrintLines(std::ostream& out, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) out << line << '\n';
}

// --- account -------------------------------------------------------------------------------

struct AccountOptions {
  std::optional<std::string> user;
  std::optional<std::string> location;
  bool password_from_input = false;
};

// The value of an option written "--name VALUE" or "--name=VALUE"; advances i past it.
std::optional<std::string> OptionValue(const Arguments& arguments, std::size_t& i, std::string_view name) {
  const std::string& argument = arguments[i];
  if (argument == name) {
    if (i + 1 >= arguments.size()) return std::nullopt;
    return arguments[++i];
  }
  return argument.substr(name.size() + 1);
}

bool IsOption(const std::string& argument, std::string_view name) {
  return argument == name || (argument.size() > name.size() && argument.starts_with(name) && argument[name.size()] == '=');
}

// Asks for each field; Enter keeps the stored value. False when the input ends first or an
// answer is too long.
bool AskAccountFields(AccountFields& fields) {
  const auto ask = [](const std::string& prompt, std::string& field, bool echo) {
    const std::optional<std::string> answer = AskLine(prompt, echo);
    if (!answer || answer->size() > kMaxInputLine) return false;
    if (!answer->empty()) field = *answer;
    return true;
  };
  const auto stored = [](const std::string& value) { return value.empty() ? std::string() : " [" + value + "]"; };
  return ask("Username" + stored(fields.username) + ": ", fields.username, true) &&
         ask(fields.password.empty() ? "Password: " : "Password (Enter keeps the stored one): ", fields.password, false) &&
         ask("Location" + stored(fields.location) + ": ", fields.location, true);
}

int RunAccount(CCommandRun& run, const Arguments& arguments) {
  AccountOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (IsOption(argument, "--user")) {
      options.user = OptionValue(arguments, i, "--user");
      if (!options.user) return run.UsageError("--user needs a user name");
    } else if (IsOption(argument, "--location")) {
      options.location = OptionValue(arguments, i, "--location");
      if (!options.location) return run.UsageError("--location needs a location (empty to clear it)");
    } else if (argument == "--password-stdin") {
      options.password_from_input = true;
    } else if (argument == "--password" || argument.starts_with("--password=")) {
      return run.UsageError("the password is never taken as an argument: use --password-stdin");
    } else {
      return run.UsageError("unexpected argument '" + argument + "'");
    }
  }
  const bool interactive = arguments.empty();
  if (interactive && !StandardInputIsTerminal()) {
    return run.UsageError("standard input is not a terminal: give the fields as options");
  }
  if (!run.MayUseSettings(true)) return kRefused;

  // The fields as the settings window shows them: the stored values, the password unscrambled.
  const CSettingsFile& settings = run.Settings();
  AccountFields fields{settings.Read(keys::kUsername), UnscrambleText(settings.Read(keys::kPassword)),
                       settings.Read(keys::kLocation)};
  if (interactive) {
    if (!AskAccountFields(fields)) return run.Refused("Nothing was saved.");
  } else {
    if (options.user) fields.username = *options.user;
    if (options.location) fields.location = *options.location;
    if (options.password_from_input) {
      // Typed at a terminal, the password must not show.
      const std::optional<std::string> password =
          StandardInputIsTerminal() ? AskLine("Password: ", /*echo=*/false) : ReadStandardInputLine();
      if (!password) return run.Refused("No password on standard input; nothing was saved.");
      fields.password = *password;
    }
  }
  for (const std::string* field : {&fields.username, &fields.password, &fields.location}) {
    if (field->size() > kMaxInputLine) {
      return run.Refused("A field is longer than " + std::to_string(kMaxInputLine) + " bytes; nothing was saved.");
    }
  }

  const std::vector<std::string> refusals = LocalAccountRefusals(fields);
  if (!refusals.empty()) {
    for (const std::string& refusal : refusals) run.Refuse(refusal);
    return kRefused;
  }
  SaveAccount(AccountCheckContext(run.Context()), fields);
  return run.Finish();
}

// --- names and aliases ---------------------------------------------------------------------

// The answer to the page's question for a name: the one given, then cancel.
template <typename Fields>
std::function<std::optional<Fields>(const Fields&)> AnswerOnce(Fields given) {
  return [given = std::move(given), asked = false](const Fields&) mutable -> std::optional<Fields> {
    if (asked) return std::nullopt;
    asked = true;
    return given;
  };
}

// Runs a Remove of the page and says so when the list had no such line.
int RemoveLine(CCommandRun& run, const std::string& line,
               std::vector<std::string> (*lines)(const CSettingsFile&),
               void (*remove)(const CSettingsFile&, std::string_view)) {
  const std::size_t before = lines(run.Settings()).size();
  remove(run.Settings(), line);
  if (run.WasRefused()) return kRefused;
  if (lines(run.Settings()).size() == before) return run.Refused(line + " is not in the list.");
  return kDone;
}

int RunNames(CCommandRun& run, const Arguments& arguments) {
  const std::string action = arguments.empty() ? "list" : arguments[0];
  const std::size_t operands = arguments.empty() ? 0 : arguments.size() - 1;
  if (action == "list" && operands == 0) {
    if (!run.MayUseSettings(false)) return kRefused;
    PrintLines(run.Out(), DomainNameLines(run.Settings()));
    return kDone;
  }
  if (action == "remove-all" && operands == 0) {
    if (!run.MayUseSettings(true)) return kRefused;
    RemoveAllDomainNames(run.Settings());
    return run.Finish();
  }
  if ((action == "add" || action == "remove") && operands == 1 && !arguments[1].empty()) {
    if (!run.MayUseSettings(true)) return kRefused;
    if (action == "remove") return RemoveLine(run, arguments[1], &DomainNameLines, &RemoveDomainName);
    if (!AddDomainName(run.Context(), AnswerOnce(arguments[1]))) run.ForgetFreshUpdate();
    return run.Finish();
  }
  return run.UsageError("expected list, add NAME, remove NAME or remove-all");
}

int RunAliases(CCommandRun& run, const Arguments& arguments) {
  const std::string action = arguments.empty() ? "list" : arguments[0];
  const std::size_t operands = arguments.empty() ? 0 : arguments.size() - 1;
  if (action == "list" && operands == 0) {
    if (!run.MayUseSettings(false)) return kRefused;
    PrintLines(run.Out(), AliasLines(run.Settings()));
    return kDone;
  }
  if (action == "remove-all" && operands == 0) {
    if (!run.MayUseSettings(true)) return kRefused;
    RemoveAllAliases(run.Settings());
    return run.Finish();
  }
  if (action == "remove" && operands == 1 && !arguments[1].empty()) {
    if (!run.MayUseSettings(true)) return kRefused;
    return RemoveLine(run, arguments[1], &AliasLines, &RemoveAlias);
  }
  if (action == "add" && operands == 2 && !arguments[1].empty() && !arguments[2].empty()) {
    if (!run.MayUseSettings(true)) return kRefused;
    if (!AddAlias(run.Context(), AnswerOnce(AliasFields{arguments[1], arguments[2]}))) run.ForgetFreshUpdate();
    return run.Finish();
  }
  return run.UsageError("expected list, add ALIAS HOSTNAME, remove ALIAS.HOSTNAME or remove-all");
}

// --- connection ----------------------------------------------------------------------------

struct MethodName {
  IpMethodChoice method;
  std::string_view word;         // on the command line; empty: no word chooses it
  std::string_view description;  // in connection and status output
};

constexpr MethodName kMethodNames[] = {
    {IpMethodChoice::kClientSide, "client", "client side: this machine's own addresses"},
    {IpMethodChoice::kServerSide, "server", "server side: the address the provider's IP-check servers see"},
    {IpMethodChoice::kBothSides, "both", "both client and server side"},
    {IpMethodChoice::kStaticAddress, "static", "static address"},
    {IpMethodChoice::kNetworkCard, "", "one network card (set in the file; kept as it is)"},
};

const MethodName& NameOf(IpMethodChoice method) {
  for (const MethodName& name : kMethodNames) {
    if (name.method == method) return name;
  }
  return kMethodNames[1];
}

std::string AddressText(const std::array<int, 4>& octets) {
  return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." + std::to_string(octets[2]) + "." +
         std::to_string(octets[3]);
}

// Four decimal numbers of 0-255 joined by dots, as the page's address control holds them.
std::optional<std::array<int, 4>> ParseAddress(std::string_view text) {
  std::array<int, 4> octets{};
  for (std::size_t i = 0; i < octets.size(); ++i) {
    const std::size_t end = i + 1 < octets.size() ? text.find('.') : text.size();
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view field = text.substr(0, end);
    // from_chars would take a sign: "-1" is no octet.
    if (field.empty() || field.size() > 3 || field.find_first_not_of("0123456789") != std::string_view::npos) {
      return std::nullopt;
    }
    const auto parsed = std::from_chars(field.data(), field.data() + field.size(), octets[i]);
    if (parsed.ptr != field.data() + field.size() || octets[i] > 255) return std::nullopt;
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return octets;
}

void PrintConnection(std::ostream& out, const ConnectionType& choice) {
  out << "Detection:   " << NameOf(choice.method).description;
  if (choice.method == IpMethodChoice::kStaticAddress) out << ' ' << AddressText(choice.static_address);
  if (choice.use_https) {
    out << "\nPort:        443 (HTTPS, the certificate checked; the port option does not apply)\n";
  } else {
    out << "\nPort:        " << (choice.use_alternative_port ? kAlternativeUpdatePort : kDefaultUpdatePort) << '\n';
  }
  // Said only when on, so that what users of IPv4 alone see stays as it was.
  if (choice.update_ipv6) out << "IPv6:        updated too\n";
}

int RunConnection(CCommandRun& run, const Arguments& arguments) {
  if (arguments.empty() || (arguments.size() == 1 && arguments[0] == "show")) {
    if (!run.MayUseSettings(false)) return kRefused;
    PrintConnection(run.Out(), ReadConnectionType(run.Settings()));
    return kDone;
  }
  std::optional<IpMethodChoice> method;
  std::optional<std::array<int, 4>> address;
  std::optional<bool> alternative_port;
  std::optional<bool> https;
  std::optional<bool> update_ipv6;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--port-8245" || argument == "--port-80") {
      if (alternative_port) return run.UsageError("give one port option");
      alternative_port = argument == "--port-8245";
      continue;
    }
    if (argument == "--https" || argument == "--no-https") {
      if (https) return run.UsageError("give one of --https and --no-https");
      https = argument == "--https";
      continue;
    }
    if (argument == "--ipv6" || argument == "--no-ipv6") {
      if (update_ipv6) return run.UsageError("give one IPv6 option");
      update_ipv6 = argument == "--ipv6";
      continue;
    }
    const MethodName* chosen = nullptr;
    for (const MethodName& name : kMethodNames) {
      if (!name.word.empty() && argument == name.word) chosen = &name;
    }
    if (chosen == nullptr) return run.UsageError("unexpected argument '" + argument + "'");
    if (method) return run.UsageError("give one detection method");
    method = chosen->method;
    if (*method == IpMethodChoice::kStaticAddress) {
      if (i + 1 >= arguments.size()) return run.UsageError("static needs an address A.B.C.D");
      const std::string& text = arguments[++i];
      address = ParseAddress(text);
      if (!address) return run.Refused(text + " is not a valid IP address (A.B.C.D, each 0-255).");
    }
  }
  if (!run.MayUseSettings(true)) return kRefused;
  ConnectionType choice = ReadConnectionType(run.Settings());
  if (method) choice.method = *method;
  if (address) choice.static_address = *address;
  if (alternative_port) choice.use_alternative_port = *alternative_port;
  if (https) choice.use_https = *https;
  if (update_ipv6) choice.update_ipv6 = *update_ipv6;
  SaveConnectionType(run.Context(), choice);
  if (alternative_port && choice.use_https) {
    run.Out() << "The port option is kept, but does not apply while HTTPS is on: updates go to port 443.\n";
  }
  return run.Finish();
}

// --- ignore --------------------------------------------------------------------------------

std::vector<std::string> IgnoreLines(const CSettingsFile& settings) {
  std::vector<std::string> lines;
  const std::string list_text = IgnoreListText(settings);
  std::string_view text = list_text;
  for (std::size_t end = text.find("\r\n"); end != std::string_view::npos; end = text.find("\r\n")) {
    lines.emplace_back(text.substr(0, end));
    text.remove_prefix(end + 2);
  }
  return lines;
}

int RunIgnore(CCommandRun& run, const Arguments& arguments) {
  const std::string action = arguments.empty() ? "list" : arguments[0];
  const std::size_t operands = arguments.empty() ? 0 : arguments.size() - 1;
  if (action == "list" && operands == 0) {
    if (!run.MayUseSettings(false)) return kRefused;
    PrintLines(run.Out(), IgnoreLines(run.Settings()));
    return kDone;
  }
  if ((action == "add" || action == "remove") && operands == 1) {
    const std::string& entry = arguments[1];
    if (entry.empty()) return run.Refused("An empty entry would match every address; nothing was changed.");
    if (!run.MayUseSettings(true)) return kRefused;
    if (action == "add") {
      AddIgnoredAddress(run.Context(), entry);
      return run.Finish();
    }
    const std::size_t before = IgnoreLines(run.Settings()).size();
    RemoveIgnoredAddress(run.Context(), entry);
    if (run.WasRefused()) return run.Finish();
    if (IgnoreLines(run.Settings()).size() == before) {
      run.ForgetFreshUpdate();
      return run.Refused(entry + " is not in the list.");
    }
    return run.Finish();
  }
  return run.UsageError("expected list, add TEXT or remove TEXT");
}

// --- poll-interval and command (the Misc page) ---------------------------------------------

int RunPollInterval(CCommandRun& run, const Arguments& arguments) {
  if (arguments.size() > 1) return run.UsageError("expected at most one number of seconds");
  if (arguments.empty()) {
    if (!run.MayUseSettings(false)) return kRefused;
    run.Out() << run.Settings().Read(keys::kPollInterval) << '\n';
    return kDone;
  }
  const int seconds = ParsePollInterval(arguments[0]);
  // The page's own rule and message, asked before anything is written.
  if (seconds < kMinPollInterval) return run.Refused(kPollIntervalMessage);
  if (!run.MayUseSettings(true)) return kRefused;
  MiscSettings misc = ReadMiscSettings(run.Settings());
  misc.poll_interval = seconds;
  SaveMiscSettings(run.Context(), misc);
  return run.Finish();
}

int RunCommandSetting(CCommandRun& run, const Arguments& arguments) {
  if (arguments.empty()) {
    if (!run.MayUseSettings(false)) return kRefused;
    const MiscSettings misc = ReadMiscSettings(run.Settings());
    run.Out() << "Command: " << (misc.command.empty() ? "(none)" : misc.command) << '\n'
              << "Runs on an address change: " << (misc.execute_command ? "yes" : "no") << '\n';
    return kDone;
  }
  std::optional<std::string> command;
  std::optional<bool> execute;
  for (const std::string& argument : arguments) {
    if (argument == "--enable" || argument == "--disable") {
      if (execute) return run.UsageError("give --enable or --disable once");
      execute = argument == "--enable";
    } else if (argument == "--clear" || !argument.starts_with("--")) {
      if (command) return run.UsageError("give one command (quote it as one argument)");
      command = argument == "--clear" ? std::string() : argument;
    } else {
      return run.UsageError("unexpected option '" + argument + "'");
    }
  }
  if (!run.MayUseSettings(true)) return kRefused;
  MiscSettings misc = ReadMiscSettings(run.Settings());
  if (command) misc.command = *command;
  if (execute) misc.execute_command = *execute;
  SaveMiscSettings(run.Context(), misc);
  return run.Finish();
}

// --- status --------------------------------------------------------------------------------

std::string TimeOfDay(int minutes) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", (minutes / 60) % 24, minutes % 60);
  return text;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : ", ") + line;
  return text.empty() ? "(none)" : text;
}

int RunStatus(CCommandRun& run, const Arguments& arguments) {
  const bool update_now = arguments.size() == 1 && arguments[0] == "--update-now";
  if (!arguments.empty() && !update_now) return run.UsageError("expected nothing or --update-now");
  if (!run.MayUseSettings(update_now)) return kRefused;
  std::ostream& out = run.Out();
  if (update_now) {
    WriteFreshUpdateKeys(run.Settings());
    if (run.WasRefused()) return kRefused;
    out << (WakeDaemon() ? "Fresh update requested; the service was woken to send it now.\n"
                          : "Fresh update requested; the service sends it at its next pass.\n");
  }
  const DaemonState daemon = QueryDaemonState();
  const ServiceStateDisplay shown = daemon.state ? DisplayForServiceState(*daemon.state) : UnknownServiceStateDisplay();
  const CSettingsFile& settings = run.Settings();
  out << "Service:     " << shown.text << (daemon.under_systemd ? " (systemd unit " : " (program ")
      << (daemon.under_systemd ? kDaemonUnit : kDaemonProgramName) << ")\n";
  const std::string updated_ip = settings.Read(keys::kUpdatedIp);
  out << "Last update: "
      << (updated_ip.empty() ? "none recorded" : updated_ip + " at " + TimeOfDay(settings.Read(keys::kUpdatedMinutes)))
      << '\n';
  const ConnectionType connection = ReadConnectionType(settings);
  if (connection.update_ipv6) {
    const std::string updated_ipv6 = settings.Read(keys::kUpdatedIpV6);
    out << "Last IPv6:   " << (updated_ipv6.empty() ? "none recorded" : updated_ipv6) << '\n';
  }
  PrintConnection(out, connection);
  out << "Host names:  " << Joined(DomainNameLines(settings)) << '\n'
      << "Aliases:     " << Joined(AliasLines(settings)) << '\n';
  return kDone;
}

// --- the table -----------------------------------------------------------------------------

constexpr Subcommand kSubcommands[] = {
    {"account", "account [--user NAME] [--location TEXT] [--password-stdin]",
     "user name, password and location, checked with the provider",
     "Without options, asks for the user name, the password (not shown as it is typed) and the\n"
     "location; Enter keeps the stored value. With options, a field left out keeps its stored value,\n"
     "and --password-stdin reads the password from the first line of standard input (it is never\n"
     "taken as an argument). User name and password are 4-20 letters or digits, the location 1-50\n"
     "(empty clears it). The provider checks the password and the location before they are stored;\n"
     "one it refuses is cleared. Then the service is asked for a fresh update.\n",
     &RunAccount},
    {"names", "names list\nnames add NAME\nnames remove NAME\nnames remove-all", "the host names to update",
     "Lists, adds or removes the host names to update. A name is letters, digits, '.' and '-',\n"
     "neither first nor last a '.' or '-', and no two of them side by side. Adding a name asks the\n"
     "service for a fresh update.\n",
     &RunNames},
    {"aliases", "aliases list\naliases add ALIAS HOSTNAME\naliases remove ALIAS.HOSTNAME\naliases remove-all",
     "aliases and the host names they live under",
     "Lists, adds or removes aliases. An alias is listed, checked and removed joined to its host\n"
     "name by one '.'. Adding one asks the service for a fresh update.\n",
     &RunAliases},
    {"connection",
     "connection [show]\nconnection [client | server | both | static A.B.C.D] [--port-8245 | --port-80]\n"
     "connection [--ipv6 | --no-ipv6] [--https | --no-https]",
     "how the address is found, and the port of the update requests",
     "client: this machine's own addresses; server: the address the provider's IP-check servers\n"
     "see (the default); both: the two together; static: always the given address. --port-8245\n"
     "sends the updates to port 8245 instead of 80 (past an ISP's proxy). --ipv6 keeps the names'\n"
     "IPv6 address current as well, found the same way (static: none). --https sends the updates,\n"
     "with the password's digest, over HTTPS to port 443 with the provider's certificate checked\n"
     "(the port option then does not apply); recommended. What is left out stays as\n"
     "stored. A change asks the service for a fresh update.\n",
     &RunConnection},
    {"ignore", "ignore list\nignore add TEXT\nignore remove TEXT", "addresses that detection passes over",
     "Addresses similar to the ones in the list (a full address or its beginning) are ignored by the\n"
     "IP detection. A change asks the service for a fresh update.\n",
     &RunIgnore},
    {"poll-interval", "poll-interval [SECONDS]", "the time between update passes",
     "Shows or sets the time between the service's update passes, in seconds; at least 30.\n",
     &RunPollInterval},
    {"command", "command [TEXT | --clear] [--enable | --disable]", "the command run when the address changes",
     "Shows or sets the custom command and whether it runs when the address changes. The service\n"
     "runs it only while no one but root may change the settings file.\n",
     &RunCommandSetting},
    {"status", "status [--update-now]", "the service's state and the last update",
     "Shows whether the service runs, the address last sent and when (local time), the detection\n"
     "method and the names. --update-now first asks for a fresh update and, when systemd runs the\n"
     "service, wakes it to send the update at once.\n",
     &RunStatus},
};

const Subcommand* FindSubcommand(std::string_view name) {
  for (const Subcommand& subcommand : kSubcommands) {
    if (subcommand.name == name) return &subcommand;
  }
  return nullptr;
}

bool IsHelp(std::string_view argument) { return argument == "--help" || argument == "-h" || argument == "help"; }

void PrintOverview(std::ostream& out) {
  out << "Usage: zelquoiuc SUBCOMMAND [ARGUMENTS]\n"
         "Changes the settings of the Zelquo IP update client in ZelquoIUC.ini beside the programs.\n\n";
  for (const Subcommand& subcommand : kSubcommands) {
    out << "  " << subcommand.name;
    out << std::string(16 - subcommand.name.size(), ' ') << subcommand.summary << '\n';
  }
  out << "\n'zelquoiuc SUBCOMMAND --help' describes one. Exit status: 0 done, 1 refused or invalid\n"
         "input (nothing changed), 2 wrong usage.\n";
}

}  // namespace

int RunSettingsCommand(const CommandEnvironment& environment, const std::vector<std::string>& arguments) {
  if (arguments.empty() || IsHelp(arguments[0])) {
    const Subcommand* about = arguments.size() == 2 && arguments[0] == "help" ? FindSubcommand(arguments[1]) : nullptr;
    if (about == nullptr) {
      PrintOverview(arguments.empty() ? environment.err : environment.out);
      return arguments.empty() ? kUsageError : kDone;
    }
    CCommandRun(environment, *about).PrintSynopsis(environment.out);
    environment.out << '\n' << about->details;
    return kDone;
  }
  const Subcommand* subcommand = FindSubcommand(arguments[0]);
  if (subcommand == nullptr) {
    environment.err << "zelquoiuc: unknown subcommand '" << arguments[0] << "'\n";
    PrintOverview(environment.err);
    return kUsageError;
  }
  const Arguments rest(arguments.begin() + 1, arguments.end());
  CCommandRun run(environment, *subcommand);
  if (rest.size() == 1 && (rest[0] == "--help" || rest[0] == "-h")) {
    run.PrintSynopsis(environment.out);
    environment.out << '\n' << subcommand->details;
    return kDone;
  }
  return subcommand->run(run, rest);
}

}  // namespace zelquo::settings_cli
