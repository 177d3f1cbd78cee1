#include "cli/usage_text.h"

namespace zelquo::cli {

namespace {

constexpr std::size_t kUsageWidth = 70;
constexpr char kExampleHost[] = "myhost.zelquo.net";
constexpr char kSecondExampleHost[] = "mypc.zelquo.org";
constexpr char kExampleAddress[] = "203.0.113.5";

std::string Padded(std::string line) {
  if (line.size() < kUsageWidth) line.append(kUsageWidth - line.size(), ' ');
  return line;
}

std::string Indented(std::size_t spaces, const std::string& text) { return std::string(spaces, ' ') + text; }

}  // namespace

std::vector<std::string> UsageLines() {
  const std::string rule(kUsageWidth, '-');
  const std::string host = kExampleHost;
  const std::string address = kExampleAddress;
  std::vector<std::string> lines = {
      rule,
      Padded(Indented(15, "Zelquo IP Update Command Line Utility v4.41")),
      rule,
      "",
      Padded("   Simple Usage: ZELQUOIPUPDATE"),
      "",
      Padded("         -Details such as username, password, domain names and aliases"),
      Padded("         will automatically be read from the configuration file."),
      Padded("         Example: >ZELQUOIPUPDATE"),
      "",
      rule,
      "",
      // The one line that is not padded: it is wider than the rule and keeps five spaces.
      "   Advanced Usage: ZELQUOIPUPDATE <password> <hostname> <[alias]> <[ipaddress]>     ",
      "",
      Padded("           [password]: Zelquo account password."),
      Padded(Indented(11, "[hostname]: e.g. " + host + ", " + kSecondExampleHost + " etc.")),
      Padded("           [Optional: alias]: e.g. www, machine1 etc."),
      Padded(Indented(11, "[Optional: ipaddress]: e.g. " + address)),
      "",
      Padded("     NOTE:[ipaddress] parameter is optional and ip will be detected"),
      Padded("            automatically if this parameter is not passed in."),
      "",
      Padded(Indented(9, "Example: >ZELQUOIPUPDATE XXXXXX " + host)),
      Padded(Indented(9, "-The above example will update " + host)),
      Padded(Indented(10, "ip address as detected by the server.")),
      "",
      Padded(Indented(9, "Example: >ZELQUOIPUPDATE XXXXXX " + host + " " + address)),
      Padded(Indented(9, "-The above example will update " + host)),
      Padded(Indented(10, "with IP address " + address + ".")),
      "",
      Padded(Indented(9, "Example: >ZELQUOIPUPDATE XXXXXX " + host + " machine1")),
      Padded(Indented(9, "-The above example will update machine1." + host)),
      Padded(Indented(10, "with IP address as detected by the server.")),
      "",
  };
  return lines;
}

}  // namespace zelquo::cli
