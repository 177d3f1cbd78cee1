#include "cli/platform/win32/console_framework.h"

#include <gtest/gtest.h>

namespace zelquo::cli {
namespace {

int g_startups = 0;

int WINAPI RefusingStartup(WORD version, LPWSADATA) {
  ++g_startups;
  EXPECT_EQ(version, MAKEWORD(1, 1));
  return WSASYSNOTREADY;
}

TEST(ConsoleFrameworkTest, ASocketsLayerThatDoesNotStartIsNotFatal) {
  EXPECT_TRUE(detail::StartConsoleFramework(&RefusingStartup));
  EXPECT_GE(g_startups, 1);
}

}  // namespace
}  // namespace zelquo::cli
