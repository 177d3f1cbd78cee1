// Wine's ntdll exports wine_get_version, which Windows' does not.
#include <windows.h>

#include "host_system.h"

namespace zelquo::testing {

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace zelquo::testing
