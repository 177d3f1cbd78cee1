// The custom command through the real command interpreter (cmd.exe /c), quotes and all.
#include <gtest/gtest.h>

#include <filesystem>

#include "cycle/update_cycle.h"
#include "test_files.h"

namespace zelquo {
namespace {

// A program path with spaces and several quoted arguments makes more than two quotes, which cmd
// would otherwise strip from both ends of the line.
TEST(CustomCommandTest, AQuotedProgramPathRunsWithItsQuotedArguments) {
  testing::CScratchFolder folder;
  const std::filesystem::path tools = folder.Path() / "tools dir";
  std::filesystem::create_directory(tools);
  const std::string script = (tools / "run me.cmd").string();
  const std::string marker = (tools / "ran.txt").string();
  testing::WriteBytes(script, "@echo %*>\"" + marker + "\"\r\n");
  RunCustomCommand("\"" + script + "\" \"first arg\" \"a&b\"");
  EXPECT_EQ(testing::ReadBytes(marker), "\"first arg\" \"a&b\"\r\n");
}

}  // namespace
}  // namespace zelquo
