// The Windows settings-path rule in a double-byte code page. The process's ANSI code page is fixed
// when it starts, so this test only runs in a process started in the Japanese locale (ctest has
// an entry for that) and skips elsewhere.
#include <windows.h>

#include <gtest/gtest.h>

#include "settings/settings_path.h"

namespace zelquo {
namespace {

TEST(SettingsPathCodePageTest, TrailBytesOfDoubleByteCharactersKeepTheirCase) {
  if (GetACP() != 932) GTEST_SKIP() << "needs the Shift-JIS code page, not " << GetACP();
  // 0x83 0x41 and 0x83 0x5A are katakana; their trail bytes would read as 'A' and 'Z' alone.
  EXPECT_EQ(BuildSettingsPathFromModulePath("C:\\Users\\\x83\x41\x83\x5a\\ZelquoIUC.exe", "zelquoiuc.exe"),
            "c:\\users\\\x83\x41\x83\x5a\\ZelquoIUC.ini");
}

}  // namespace
}  // namespace zelquo
