// The console utility's two update passes: the simple-usage pass over the names in the settings
// file, and the single-host pass for a name given on the command line. Each returns the text to
// print; neither writes the settings file.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "cli/command_line.h"
#include "http/http_get_line.h"
#include "provider_config.h"
#include "settings/settings.h"

namespace zelquo::cli {

struct PassEnvironment {
  const CSettingsFile& settings;
  // Address detection; by default the dispatcher, keeping the network-card method.
  std::function<std::string()> detect;
  // IPv6 detection, asked once per pass when "updateipv6" is on.
  std::function<std::string()> detect_ipv6 = {};
  std::string api_host = provider::kUpdateApiHost;
  std::chrono::milliseconds http_timeout = kHttpGetLineTimeout;
};

// The environment of a real run: the given settings, the real detection, the provider's host.
[[nodiscard]] PassEnvironment ProductionEnvironment(const CSettingsFile& settings);

[[nodiscard]] std::string RunSimpleUsagePass(const PassEnvironment& environment);
[[nodiscard]] std::string RunSingleHostPass(const PassEnvironment& environment, const CommandLine& command_line);

}  // namespace zelquo::cli
