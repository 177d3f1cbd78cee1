#include "framework/win_app.h"

#include <atomic>

#include "framework/dialog.h"

namespace zelquo::win {

namespace {
std::atomic<CWinApp*> current_app{nullptr};
}  // namespace

CWinApp::CWinApp() { current_app.store(this); }

CWinApp::~CWinApp() {
  CWinApp* self = this;
  current_app.compare_exchange_strong(self, nullptr);
}

CWinApp* CWinApp::Current() { return current_app.load(); }

int CWinApp::Run(HINSTANCE instance) {
  instance_ = instance;
  if (!InitInstance()) {
    ExitInstance();
    return 0;
  }
  MSG message{};
  int exit_code = 0;
  for (;;) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) {
      exit_code = static_cast<int>(message.wParam);
      break;
    }
    if (got == -1) break;
    DispatchThreadMessage(message);
  }
  ExitInstance();
  return exit_code;
}

void DispatchThreadMessage(MSG& message) {
  if (message.hwnd) {
    const HWND root = GetAncestor(message.hwnd, GA_ROOT);
    if (CDialog* dialog = CDialog::FromWindow(root)) {
      if (dialog->PreTranslateMessage(message)) return;
      if (IsDialogMessageA(root, &message)) return;
    }
  }
  TranslateMessage(&message);
  DispatchMessageA(&message);
}

}  // namespace zelquo::win
