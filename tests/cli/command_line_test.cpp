#include "cli/command_line.h"

#include <gtest/gtest.h>

#include "cli/usage_text.h"

namespace zelquo::cli {
namespace {

TEST(CommandLineTest, ThirdArgumentIsTheAddressWhenAllDigitsAndDots) {
  const struct {
    std::vector<std::string> arguments;
    CommandLine expected;
  } kCases[] = {
      {{}, {"", "", "", ""}},
      {{"secret"}, {"secret", "", "", ""}},
      {{"secret", "host.example.org"}, {"secret", "host.example.org", "", ""}},
      {{"secret", "host.example.org", "10.0.0.1", "9.9.9.9"}, {"secret", "host.example.org", "", "10.0.0.1"}},
      {{"secret", "host.example.org", "www", "203.0.113.5"}, {"secret", "host.example.org", "www", "203.0.113.5"}},
      {{"secret", "host.example.org", "www", "not an address"},
       {"secret", "host.example.org", "www", "not an address"}},
      {{"secret", "host.example.org", "1a"}, {"secret", "host.example.org", "1a", ""}},
      {{"secret", "host.example.org", "", "203.0.113.5"}, {"secret", "host.example.org", "", ""}},
      {{"secret", "host.example.org", "999.1..2"}, {"secret", "host.example.org", "", "999.1..2"}},
      {{"secret", "host.example.org", "www", "1.2.3.4", "extra", "more"},
       {"secret", "host.example.org", "www", "1.2.3.4"}},
  };
  for (const auto& row : kCases) {
    const CommandLine line = SplitArguments(row.arguments);
    EXPECT_EQ(line.password, row.expected.password);
    EXPECT_EQ(line.host_name, row.expected.host_name);
    EXPECT_EQ(line.alias, row.expected.alias) << row.arguments.size();
    EXPECT_EQ(line.address, row.expected.address) << row.arguments.size();
  }
}

TEST(CommandLineTest, ArgumentsAfterTheProgramName) {
  const char* const none[] = {nullptr};
  EXPECT_TRUE(ArgumentsAfterProgramName(0, none).empty()) << "started without even a program name";
  const char* const name_only[] = {"zelquoipupdate", nullptr};
  EXPECT_TRUE(ArgumentsAfterProgramName(1, name_only).empty());
  const char* const two[] = {"zelquoipupdate", "secret", "", nullptr};
  EXPECT_EQ(ArgumentsAfterProgramName(3, two), (std::vector<std::string>{"secret", ""}));
}

TEST(CommandLineTest, OnlyTheExactHelpWordsShowTheUsage) {
  const struct {
    const char* first;
    RunMode mode;
  } kCases[] = {{"", RunMode::kSimpleUsage},   {"-help", RunMode::kHelp},      {"/?", RunMode::kHelp},
                {"-Help", RunMode::kSingleHost}, {"-HELP", RunMode::kSingleHost}, {"/help", RunMode::kSingleHost},
                {"-?", RunMode::kSingleHost},    {"/?/", RunMode::kSingleHost},   {"secret", RunMode::kSingleHost}};
  for (const auto& row : kCases) {
    EXPECT_EQ(ChooseRunMode(SplitArguments({row.first})), row.mode) << row.first;
  }
}

TEST(UsageTextTest, LinesArePaddedTo70ExceptTheAdvancedUsageLine) {
  const std::vector<std::string> lines = UsageLines();
  ASSERT_EQ(lines.size(), 34u);
  EXPECT_EQ(lines[0], std::string(70, '-'));
  EXPECT_EQ(lines[1].substr(0, 58), "               Zelquo IP Update Command Line Utility v4.41");
  EXPECT_EQ(lines[12], "   Advanced Usage: ZELQUOIPUPDATE <password> <hostname> <[alias]> <[ipaddress]>     ");
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i == 12 || lines[i].empty()) continue;
    EXPECT_EQ(lines[i].size(), 70u) << "line " << i << ": " << lines[i];
  }
  // Each example is three lines and a blank one, in the shape the note above them describes.
  for (const std::size_t first : {22u, 26u, 30u}) {
    EXPECT_EQ(lines[first].rfind("         Example: >ZELQUOIPUPDATE XXXXXX ", 0), 0u);
    EXPECT_EQ(lines[first + 1].rfind("         -The above example will update ", 0), 0u);
    EXPECT_EQ(lines[first + 2].rfind("          ", 0), 0u);
    EXPECT_TRUE(lines[first + 3].empty());
  }
  EXPECT_EQ(lines[24].substr(0, 47), "          ip address as detected by the server.");
  EXPECT_EQ(lines[32].substr(0, 52), "          with IP address as detected by the server.");
}

}  // namespace
}  // namespace zelquo::cli
