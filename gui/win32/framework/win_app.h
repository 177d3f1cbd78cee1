// The application object: its initialisation step, the thread's message loop, and the accessor
// through which any code (the update thread too) reaches the one application of the process.
// What the program does at start-up and with commands is the derived class's business.
#pragma once

#include <windows.h>

namespace zelquo::win {

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // The application of this process, or null before it was built.
  [[nodiscard]] static CWinApp* Current();

  // InitInstance, then the message loop until WM_QUIT, then ExitInstance. Returns the exit code
  // (that of WM_QUIT, or 0 when InitInstance failed).
  int Run(HINSTANCE instance);

  [[nodiscard]] HINSTANCE Instance() const { return instance_; }
  // The frame window that receives commands; null until the start-up has created it.
  [[nodiscard]] HWND MainWindow() const { return main_window_; }

  // Commands that the main window does not handle itself; true when handled.
  virtual bool OnCommand(int /*id*/) { return false; }
  // The user is logging off or the system is shutting down: the process ends once the main
  // window has answered, without leaving its message loop and without ExitInstance.
  virtual void OnSessionEnding() {}

 protected:
  // False ends the program before the message loop.
  virtual bool InitInstance() = 0;
  virtual void ExitInstance() {}
  void SetMainWindow(HWND window) { main_window_ = window; }

 private:
  HINSTANCE instance_ = nullptr;
  HWND main_window_ = nullptr;  // owned by the derived class's frame object
};

// One message of this thread's loop: a dialog's own pre-translation and keyboard navigation
// first (for the top-level dialog the message is meant for), then the usual dispatch.
void DispatchThreadMessage(MSG& message);

}  // namespace zelquo::win
