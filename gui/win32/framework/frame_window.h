// A top-level window that is never shown: the target of the tray icon's commands. Commands it
// does not handle go on to the application object; its destruction ends the message loop.
#pragma once

#include <windows.h>

namespace zelquo::win {

class CFrameWnd {
 public:
  CFrameWnd() = default;
  virtual ~CFrameWnd();
  CFrameWnd(const CFrameWnd&) = delete;
  CFrameWnd& operator=(const CFrameWnd&) = delete;

  // Registers class_name and creates the hidden window, titled by string resource title_id.
  [[nodiscard]] bool Create(HINSTANCE instance, const char* class_name, int title_id, DWORD style);
  [[nodiscard]] HWND Window() const { return window_; }

 protected:
  // True when handled; the default hands the command to the application object.
  virtual bool OnCommand(int id);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  HWND window_ = nullptr;
};

}  // namespace zelquo::win
