// The custom command through the real command interpreter (sh -c), quotes and all.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "cycle/update_cycle.h"
#include "test_files.h"

namespace zelquo {
namespace {

TEST(CustomCommandTest, AQuotedProgramPathRunsWithItsQuotedArguments) {
  testing::CScratchFolder folder;
  const std::filesystem::path tools = folder.Path() / "tools dir";
  std::filesystem::create_directory(tools);
  const std::string script = (tools / "run me.sh").string();
  testing::WriteBytes(script, "#!/bin/sh\nprintf '%s|' \"$@\" >\"$(dirname \"$0\")/ran.txt\"\n");
  ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
  RunCustomCommand("\"" + script + "\" \"first arg\" \"a&b\"");
  EXPECT_EQ(testing::ReadBytes((tools / "ran.txt").string()), "first arg|a&b|");
}

}  // namespace
}  // namespace zelquo
