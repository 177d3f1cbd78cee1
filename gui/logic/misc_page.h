// The Misc page's logic: the service state as the page shows it, the programs its service buttons
// run, and what Save and the autorun box write. Talking to the service manager and starting the
// programs is left to the window layer.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/service_identity.h"
#include "logic/page_context.h"

namespace zelquo::gui {

// The page controls the update service under the name it registers itself with.
using service::kServiceName;
inline constexpr char kAutorunValueName[] = "Zelquo IP Update Client";
inline constexpr int kMinPollInterval = 30;
inline constexpr char kPollIntervalMessage[] = "Poll interval should be more than 30 seconds!";
inline constexpr char kElevationMessage[] =
    "This operation requires elevated permissions. Please run this application as an administrator and try "
    "again.";
inline constexpr char kAutorunFailedMessage[] =
    "The start-up entry could not be changed. Please run this application as an administrator and try again.";

// The text beside the status light and the left edge of its 16-pixel image in the light's strip.
struct ServiceStateDisplay {
  std::string_view text;
  int image_offset;
  bool operator==(const ServiceStateDisplay&) const = default;
};

// A state code from the service manager (1-7); 0 or any other code reads as "Not installed".
[[nodiscard]] ServiceStateDisplay DisplayForServiceState(unsigned long state);
// When the service manager could not be opened.
[[nodiscard]] ServiceStateDisplay UnknownServiceStateDisplay();

enum class ServiceAction { kInstall, kStart, kStop, kRestart };

// One program an action runs: its full path, so that nothing is looked up in the current folder
// or along the search path, and its arguments, each one passed as one argument.
struct ServiceCommand {
  std::string program;
  std::vector<std::string> arguments;
  bool operator==(const ServiceCommand&) const = default;
};

// The programs an action runs, one after the other. Start, Stop and Restart run net.exe from
// system_folder (the system's own folder, without a final separator); with no system folder known
// they run nothing rather than a net.exe found elsewhere. Install runs the service program that
// lies beside the tray program with its install switch: module_path is the tray program's full
// path, lower-cased with its own file name "zelquoiuc.exe" taken out. A tray program renamed
// otherwise keeps its name in the folder, so the path points at nothing and installs nothing;
// with no module path known, Install runs nothing.
[[nodiscard]] std::vector<ServiceCommand> ServiceActionCommands(ServiceAction action, std::string_view module_path,
                                                                std::string_view system_folder);

struct MiscSettings {
  bool execute_command = false;
  std::string command;
  int poll_interval = 60;
  bool autorun = true;
};

// The poll interval as typed: a whole decimal number, else 0, which Save refuses like any
// interval below kMinPollInterval.
[[nodiscard]] int ParsePollInterval(std::string_view text);

[[nodiscard]] MiscSettings ReadMiscSettings(const CSettingsFile& settings);
// Writes the poll interval only when it is at least kMinPollInterval (otherwise shows
// kPollIntervalMessage), then always the command, its flag and the autorun flag. The update loops
// read these afresh, so no fresh update is requested.
void SaveMiscSettings(const PageContext& context, const MiscSettings& misc);

// Sets the start-up entry: data and whether it could be written (usually needs an administrator).
using AutorunSetter = std::function<bool(std::string_view name, std::string_view data)>;
// Sets the start-up entry to the lower-cased module_path, or to the empty text when autorun is off
// (the entry is kept), then writes "autorunonstartup". When the entry could not be set, shows
// kAutorunFailedMessage, leaves "autorunonstartup" as it was and returns false: the box goes back.
[[nodiscard]] bool ApplyAutorun(const PageContext& context, bool autorun, std::string_view module_path,
                                const AutorunSetter& set_autorun_value);

}  // namespace zelquo::gui
