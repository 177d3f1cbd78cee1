#include "logic/misc_page.h"

#include <charconv>

#include "settings/settings_path.h"

namespace zelquo::gui {

namespace {

constexpr ServiceStateDisplay kStopped{"Stopped", 0};
constexpr ServiceStateDisplay kRunning{"Running", 16};
constexpr ServiceStateDisplay kPaused{"Paused", 32};
constexpr ServiceStateDisplay kNotInstalled{"Not installed", 48};
constexpr ServiceStateDisplay kUnknown{"Unknown", 48};

// Indexed by the manager's state code: stopped 1, start-pending 2, stop-pending 3, running 4,
// continue-pending 5, pause-pending 6, paused 7. A service waiting to stop already shows stopped.
constexpr ServiceStateDisplay kByState[] = {kNotInstalled, kStopped, kRunning, kStopped,
                                            kRunning,      kRunning, kPaused,  kPaused};

constexpr char kProgramFileName[] = "zelquoiuc.exe";
constexpr char kServiceFileName[] = "zelquoiucsvc.exe";
constexpr char kInstallSwitch[] = "-install";

ServiceCommand NetCommand(std::string_view system_folder, const char* verb) {
  return {std::string(system_folder) + "\\net.exe", {verb, kServiceName}};
}

}  // namespace

ServiceStateDisplay DisplayForServiceState(unsigned long state) {
  return state < std::size(kByState) ? kByState[state] : kNotInstalled;
}

ServiceStateDisplay UnknownServiceStateDisplay() { return kUnknown; }

std::vector<ServiceCommand> ServiceActionCommands(ServiceAction action, std::string_view module_path,
                                                  std::string_view system_folder) {
  if (action == ServiceAction::kInstall) {
    // Without the tray program's path the service program's path would be relative, and be
    // completed from the current folder.
    if (module_path.empty()) return {};
    return {{ProgramFolderFromModulePath(module_path, kProgramFileName) + kServiceFileName, {kInstallSwitch}}};
  }
  if (system_folder.empty()) return {};
  if (action == ServiceAction::kRestart) return {NetCommand(system_folder, "stop"), NetCommand(system_folder, "start")};
  return {NetCommand(system_folder, action == ServiceAction::kStart ? "start" : "stop")};
}

int ParsePollInterval(std::string_view text) {
  int value = 0;
  const char* const end = text.data() + text.size();
  if (text.empty() || std::from_chars(text.data(), end, value).ptr != end) return 0;
  return value;
}

MiscSettings ReadMiscSettings(const CSettingsFile& settings) {
  MiscSettings misc;
  misc.command = settings.Read(keys::kCommand);
  misc.execute_command = settings.ReadInt(keys::kExecuteCommand.name, 0) == 1;
  misc.autorun = settings.Read(keys::kAutorunOnStartup) == 1;
  misc.poll_interval = settings.Read(keys::kPollInterval);
  return misc;
}

void SaveMiscSettings(const PageContext& context, const MiscSettings& misc) {
  if (misc.poll_interval >= kMinPollInterval) {
    context.settings.Write(keys::kPollInterval, misc.poll_interval);
  } else {
    context.ShowMessage(kPollIntervalMessage);
  }
  context.settings.WriteInt(keys::kExecuteCommand.name, misc.execute_command ? 1 : 0);
  context.settings.Write(keys::kCommand, misc.command);
  context.settings.Write(keys::kAutorunOnStartup, misc.autorun ? 1 : 0);
}

bool ApplyAutorun(const PageContext& context, bool autorun, std::string_view module_path,
                  const AutorunSetter& set_autorun_value) {
  const std::string data = autorun ? detail::LowerCaseProgramPath(std::string(module_path)) : std::string();
  if (!set_autorun_value(kAutorunValueName, data)) {
    context.ShowMessage(kAutorunFailedMessage);
    return false;
  }
  context.settings.Write(keys::kAutorunOnStartup, autorun ? 1 : 0);
  return true;
}

}  // namespace zelquo::gui
