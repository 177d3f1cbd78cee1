#include "framework/frame_window.h"

#include "framework/win_app.h"

namespace zelquo::win {

CFrameWnd::~CFrameWnd() {
  if (window_) DestroyWindow(window_);
}

bool CFrameWnd::Create(HINSTANCE instance, const char* class_name, int title_id, DWORD style) {
  WNDCLASSEXA window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = &CFrameWnd::WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // the arrow
  window_class.lpszClassName = class_name;
  if (!RegisterClassExA(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  char title[128] = "";
  LoadStringA(instance, static_cast<UINT>(title_id), title, static_cast<int>(sizeof title));
  return CreateWindowExA(0, class_name, title, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                         nullptr, nullptr, instance, this) != nullptr;
}

bool CFrameWnd::OnCommand(int id) {
  CWinApp* app = CWinApp::Current();
  return app && app->OnCommand(id);
}

LRESULT CALLBACK CFrameWnd::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<CFrameWnd*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<CFrameWnd*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_COMMAND:
      if (self && self->OnCommand(LOWORD(wparam))) return 0;
      break;
    case WM_ENDSESSION:
      if (wparam) {
        if (CWinApp* app = CWinApp::Current()) app->OnSessionEnding();
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      if (self) self->window_ = nullptr;
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace zelquo::win
