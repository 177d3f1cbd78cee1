#include "system_tray.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

#include "framework/win_app.h"
#include "framework/win_handles.h"

namespace zelquo::gui {

namespace {

constexpr char kTrayWindowClass[] = "ZelquoIucTray";
// The tip buffer of the record's first layout, which is the layout the program sends: 64
// characters with the terminator. Current headers declare a 128-character buffer, which only
// later layouts may fill; the shell reads no further than the size the record claims.
constexpr std::size_t kTipCapacity = NOTIFYICONDATAA_V1_SIZE - offsetof(NOTIFYICONDATAA, szTip);
static_assert(kTipCapacity == 64);

void CopyTip(NOTIFYICONDATAA& data, std::string_view text) {
  const std::size_t length = std::min(text.size(), kTipCapacity - 1);
  std::memcpy(data.szTip, text.data(), length);
  data.szTip[length] = '\0';
}

// Broadcast by Explorer whenever it has made a new notification area.
UINT TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageA("TaskbarCreated");
  return message;
}

// The tray window's own message and timer for adding the icon again.
constexpr UINT kAddAgainMessage = WM_APP + 1;
constexpr UINT_PTR kRetryAddTimerId = 1;
constexpr UINT kRetryAddPeriodMs = 5000;

HWND MainFrame() {
  win::CWinApp* app = win::CWinApp::Current();
  return app ? app->MainWindow() : nullptr;
}

}  // namespace

HICON LoadTrayIcon(int id) {
  return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON,
                                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
}

CSystemTray::~CSystemTray() {
  RemoveIcon();
  if (window_) DestroyWindow(window_);
}

bool CSystemTray::Create(HWND parent, UINT callback_message, const char* tip, HICON icon, UINT id) {
  const DWORD version = GetVersion();
  if (LOBYTE(LOWORD(version)) < 4) return false;

  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = &CSystemTray::WindowProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = kTrayWindowClass;
  if (!RegisterClassExA(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  window_ = CreateWindowExA(0, kTrayWindowClass, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, instance, this);
  if (!window_) return false;
  // An elevated program does not get messages from the unelevated Explorer unless it lets
  // this one through.
  ChangeWindowMessageFilterEx(window_, TaskbarCreatedMessage(), MSGFLT_ALLOW, nullptr);

  {
    const std::lock_guard guard(lock_);
    // The first layout of the record: every shell version takes it.
    data_.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data_.hWnd = parent ? parent : window_;
    data_.uID = id;
    data_.uCallbackMessage = callback_message;
    data_.hIcon = icon;
    CopyTip(data_, tip ? tip : "");
    enabled_ = true;
    hidden_ = false;
  }
  AddAgain();
  const std::lock_guard guard(lock_);
  return in_shell_;
}

bool CSystemTray::ShowIcon() {
  {
    const std::lock_guard guard(lock_);
    if (!enabled_ || !hidden_) return enabled_;
    hidden_ = false;
  }
  AddAgain();
  const std::lock_guard guard(lock_);
  return in_shell_;
}

bool CSystemTray::HideIcon() {
  {
    const std::lock_guard guard(lock_);
    if (!enabled_ || hidden_) return enabled_;
    hidden_ = true;
    if (!std::exchange(in_shell_, false)) return true;
  }
  return Notify(NIM_DELETE, 0);
}

bool CSystemTray::RemoveIcon() {
  {
    const std::lock_guard guard(lock_);
    if (!enabled_) return false;
    enabled_ = false;
    // A hidden icon is gone from the shell already; under Wine each NIM_DELETE can take seconds.
    if (!std::exchange(in_shell_, false)) return true;
  }
  return Notify(NIM_DELETE, 0);
}

bool CSystemTray::SetIcon(HICON icon) {
  {
    const std::lock_guard guard(lock_);
    if (!enabled_) return false;
    data_.hIcon = icon;
    if (!in_shell_) return false;
  }
  if (Notify(NIM_MODIFY, NIF_ICON)) return true;
  OnModifyFailed();
  return false;
}

bool CSystemTray::SetTooltipText(std::string_view text) {
  {
    const std::lock_guard guard(lock_);
    if (!enabled_) return false;
    CopyTip(data_, text);
    if (!in_shell_) return false;
  }
  if (Notify(NIM_MODIFY, NIF_TIP)) return true;
  OnModifyFailed();
  return false;
}

bool CSystemTray::Notify(DWORD action, UINT flags) {
  NOTIFYICONDATAA copy;
  {
    const std::lock_guard guard(lock_);
    copy = data_;
  }
  copy.uFlags = flags;
  return Shell_NotifyIconA(action, &copy) != FALSE;
}

void CSystemTray::AddAgain() {
  {
    const std::lock_guard guard(lock_);
    if (!enabled_ || hidden_) return;
  }
  constexpr UINT kAllFields = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  // After a "TaskbarCreated" that was not a restart the shell still has the icon, and an add
  // of the same id fails: a modify then tells that it is there.
  const bool added = Notify(NIM_ADD, kAllFields) || Notify(NIM_MODIFY, kAllFields);
  {
    const std::lock_guard guard(lock_);
    in_shell_ = added && enabled_ && !hidden_;
  }
  if (added) {
    KillTimer(window_, kRetryAddTimerId);
  } else {
    SetTimer(window_, kRetryAddTimerId, kRetryAddPeriodMs, nullptr);
  }
}

void CSystemTray::OnModifyFailed() {
  {
    const std::lock_guard guard(lock_);
    if (!in_shell_) return;
    in_shell_ = false;
  }
  // Timers belong to the window's thread, and this may be the update thread.
  if (window_) PostMessageA(window_, kAddAgainMessage, 0, 0);
}

LRESULT CSystemTray::OnTrayNotification(WPARAM id, LPARAM mouse_message) {
  UINT icon_id = 0;
  {
    const std::lock_guard guard(lock_);
    icon_id = data_.uID;
  }
  if (id != icon_id) return 0;
  const UINT message = LOWORD(mouse_message);
  if (message != WM_RBUTTONUP && message != WM_LBUTTONDBLCLK) return 1;

  const win::CMenuHandle menu(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(icon_id)));
  if (!menu) return 0;
  const HMENU popup = GetSubMenu(menu.Get(), 0);
  if (!popup) return 0;
  const HWND frame = MainFrame();

  if (message == WM_RBUTTONUP) {
    SetMenuDefaultItem(popup, default_item_, TRUE);
    POINT cursor{};
    GetCursorPos(&cursor);
    // The frame must be in the foreground before TrackPopupMenu, or the menu does not close
    // when the user clicks elsewhere; the null message afterwards makes a second right-click
    // work at once.
    SetForegroundWindow(frame);
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_LEFTBUTTON, cursor.x, cursor.y, 0, frame, nullptr);
    PostMessageA(frame, WM_NULL, 0, 0);
  } else {
    SetForegroundWindow(frame);
    const UINT command = GetMenuItemID(popup, static_cast<int>(default_item_));
    if (command != static_cast<UINT>(-1)) SendMessageA(frame, WM_COMMAND, command, 0);
  }
  return 1;
}

LRESULT CALLBACK CSystemTray::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<CSystemTray*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self) {
    UINT callback_message = 0;
    {
      const std::lock_guard guard(self->lock_);
      callback_message = self->data_.uCallbackMessage;
    }
    if (message == callback_message && callback_message != 0) return self->OnTrayNotification(wparam, lparam);
    if (message == TaskbarCreatedMessage() || message == kAddAgainMessage ||
        (message == WM_TIMER && wparam == kRetryAddTimerId)) {
      self->AddAgain();
      return 0;
    }
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      self->window_ = nullptr;
    }
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace zelquo::gui
