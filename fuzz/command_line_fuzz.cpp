// The console utility's arguments: any argument list splits into the four positions without
// losing or inventing text, and picks exactly one run mode.
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "detection/ip_check_servers.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using zelquo::fuzz::Require;
  std::vector<std::string> arguments = zelquo::fuzz::SplitInput(data, size, '\0', 6);
  if (size == 0) arguments.clear();
  const auto at = [&](std::size_t i) { return i < arguments.size() ? arguments[i] : std::string(); };

  const zelquo::cli::CommandLine line = zelquo::cli::SplitArguments(arguments);
  Require(line.password == at(0) && line.host_name == at(1), "the first two positions are kept");
  if (zelquo::IsDottedDigits(at(2))) {
    Require(line.address == at(2) && line.alias.empty(), "a dotted third argument is the address");
  } else {
    Require(line.alias == at(2) && line.address == at(3), "any other third argument is the alias");
  }
  const zelquo::cli::RunMode mode = zelquo::cli::ChooseRunMode(line);
  Require((mode == zelquo::cli::RunMode::kSimpleUsage) == line.password.empty(), "no password, no update");
  return 0;
}
