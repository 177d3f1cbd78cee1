// No automatic dial-up setting exists here; the guard does nothing.
#include "cycle/dialup_guard.h"

namespace zelquo {

struct CDialUpGuard::Restore {};

void RestoreDialUpForExit() {}

CDialUpGuard::CDialUpGuard() = default;
CDialUpGuard::~CDialUpGuard() = default;

}  // namespace zelquo
