#include "program_identity.h"

namespace zelquo {

const char kProgramFileName[] = "service_test.exe";

}  // namespace zelquo
