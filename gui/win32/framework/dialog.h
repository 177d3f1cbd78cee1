// A dialog from a resource template, run modally or created as a child page. Handlers are
// registered by control id (WM_COMMAND, WM_NOTIFY) and by timer id (WM_TIMER); DoDataExchange
// moves values between the controls and the members in either direction.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <unordered_map>

namespace zelquo::win {

// DoModal's results besides the id that ended the dialog.
inline constexpr INT_PTR kModalFailed = -1;  // the window could not be created
inline constexpr INT_PTR kModalQuit = -2;    // WM_QUIT arrived; it was posted again for the caller

// One direction of a value exchange between a dialog's controls and its members.
class CDataExchange {
 public:
  CDataExchange(HWND dialog, bool save) : dialog_(dialog), save_(save) {}
  [[nodiscard]] bool Saving() const { return save_; }
  void Text(int control_id, std::string& value) const;

 private:
  HWND dialog_;
  bool save_;
};

class CDialog {
 public:
  explicit CDialog(int template_id) : template_id_(template_id) {}
  virtual ~CDialog();
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Creates the window, shows it and runs a message loop until EndDialog or WM_QUIT; the owner
  // is disabled meanwhile. The window is destroyed before it returns.
  INT_PTR DoModal(HWND owner = nullptr);
  // Creates the window as a hidden child of parent (the template says WS_CHILD); it lives until
  // its parent goes. Null on failure.
  HWND CreatePage(HWND parent);
  void EndDialog(INT_PTR result);

  [[nodiscard]] HWND Window() const { return window_; }
  [[nodiscard]] HWND Item(int control_id) const { return GetDlgItem(window_, control_id); }
  // save: controls to members; otherwise members to controls.
  void UpdateData(bool save);

  // A top-level dialog sees every message of the message loop that is meant for it or one of
  // its descendants (its pages' controls included) before it is dispatched; true swallows it.
  virtual bool PreTranslateMessage(MSG& /*message*/) { return false; }

  // The dialog object behind a top-level or page dialog window of this framework, else null.
  [[nodiscard]] static CDialog* FromWindow(HWND window);

 protected:
  // True lets the system give the focus to the first control.
  virtual bool OnInitDialog();
  virtual void DoDataExchange(const CDataExchange& /*exchange*/) {}
  // IDOK and IDCANCEL without a registered handler (Enter, Esc, the title-bar close). A page
  // ignores OK and hands Cancel to its top-level dialog: a multi-line edit on a page answers Esc
  // by closing its parent, the page.
  virtual void OnOK();
  virtual void OnCancel();

  using CommandHandler = std::function<void(int notification_code)>;
  using NotifyHandler = std::function<void(const NMHDR& header)>;
  using TimerHandler = std::function<void()>;
  using MessageHandler = std::function<LRESULT(WPARAM wparam, LPARAM lparam)>;
  void OnCommand(int control_id, CommandHandler handler) { commands_[control_id] = std::move(handler); }
  // A button's click (BN_CLICKED); its other notifications are ignored.
  void OnClick(int control_id, std::function<void()> handler) {
    OnCommand(control_id, [handler = std::move(handler)](int code) {
      if (code == BN_CLICKED) handler();
    });
  }
  void OnNotify(int control_id, NotifyHandler handler) { notifies_[control_id] = std::move(handler); }
  void OnTimer(UINT_PTR timer_id, TimerHandler handler) { timers_[timer_id] = std::move(handler); }
  // A message of the program's own (WM_APP and above); the handler's value is the result.
  void OnMessage(UINT message, MessageHandler handler) { messages_[message] = std::move(handler); }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  int template_id_;
  bool page_ = false;
  HWND window_ = nullptr;  // destroyed by DoModal, by the parent (pages) or by the destructor
  bool ending_ = false;
  INT_PTR result_ = IDCANCEL;
  std::unordered_map<int, CommandHandler> commands_;
  std::unordered_map<int, NotifyHandler> notifies_;
  std::unordered_map<UINT_PTR, TimerHandler> timers_;
  std::unordered_map<UINT, MessageHandler> messages_;
};

}  // namespace zelquo::win
