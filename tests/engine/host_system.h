// Which system runs the tests, for the few checks where Wine and Windows part ways.
#pragma once

namespace zelquo::testing {

// True for the Windows build running under Wine; false on Windows itself and on POSIX.
[[nodiscard]] bool RunningUnderWine();

}  // namespace zelquo::testing
