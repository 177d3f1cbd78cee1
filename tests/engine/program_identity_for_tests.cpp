#include "program_identity.h"

namespace zelquo {

const char kProgramFileName[] = "engine_test.exe";

}  // namespace zelquo
