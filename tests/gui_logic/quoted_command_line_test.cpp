// The command line a started program splits back into the arguments it was given.
#include <gtest/gtest.h>

#include "logic/quoted_command_line.h"

namespace zelquo::gui {
namespace {

TEST(QuotedCommandLineTest, EachArgumentComesBackWhole) {
  const struct {
    std::vector<std::string> arguments;
    const char* line;
  } rows[] = {
      {{}, R"("c:\r&d (x86)\p.exe")"},
      {{"start", "ZelquoIUCSvc"}, R"("c:\r&d (x86)\p.exe" start ZelquoIUCSvc)"},
      {{"", "a b", "x&y"}, R"("c:\r&d (x86)\p.exe" "" "a b" x&y)"},
      // Backslashes double only before a double quote, escaped or closing.
      {{R"(c:\a b\)", R"(say "hi")", R"(a\"b)", R"(a\b)"},
       R"("c:\r&d (x86)\p.exe" "c:\a b\\" "say \"hi\"" "a\\\"b" a\b)"},
  };
  for (const auto& row : rows) EXPECT_EQ(QuotedCommandLine(R"(c:\r&d (x86)\p.exe)", row.arguments), row.line);
}

}  // namespace
}  // namespace zelquo::gui
