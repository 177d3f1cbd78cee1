// The running program's own file name ("zelquoipupdate.exe", ...). Each executable of the project,
// test programs included, defines this constant once; the settings path is built from it.
#pragma once

namespace zelquo {

extern const char kProgramFileName[];

}  // namespace zelquo
