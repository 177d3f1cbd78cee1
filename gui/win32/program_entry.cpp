// zelquoiuc, the tray program: its entry on Windows.
#include <windows.h>

#include "client_app.h"
#include "program_identity.h"

namespace zelquo {
const char kProgramFileName[] = "zelquoiuc.exe";
}  // namespace zelquo

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/, int /*show*/) {
  // The application object is never destroyed, and the process ends here rather than by
  // returning: the update thread uses the object and the program's static data until the very
  // end, and returning would destroy them under it.
  auto* app = new zelquo::gui::CClientApp;
  const int exit_code = app->Run(instance);
  ExitProcess(static_cast<UINT>(exit_code));
}
