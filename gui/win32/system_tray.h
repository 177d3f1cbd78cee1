// The notification-area icon: adds, hides, shows and removes it, changes its picture and tip,
// and turns the shell's mouse notifications into the tray menu and the default command. It
// creates its own hidden window, which receives those notifications.
//
// The icon operations may be called from any thread: the record is copied under a lock and the
// shell is called outside it, so a worker thread waiting on the shell never holds up the GUI
// thread.
//
// The shell can lose the icon: Explorer restarts (a crash, an update) and broadcasts
// "TaskbarCreated" to every top-level window, and at log-on the first add may fail while the
// notification area is not ready yet. The icon is then added again, on that message or on a
// retry timer, unless it was hidden on purpose; without that the program would keep running with
// no way to reach it.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <mutex>
#include <string_view>

namespace zelquo::gui {

// Icon resource `id` in the tray's small size. Shared: loading it again costs nothing, and it is
// never destroyed.
[[nodiscard]] HICON LoadTrayIcon(int id);

class CSystemTray {
 public:
  CSystemTray() = default;
  ~CSystemTray();
  CSystemTray(const CSystemTray&) = delete;
  CSystemTray& operator=(const CSystemTray&) = delete;

  // Fails (enabled stays false) on Windows before version 4 or when the hidden window cannot be
  // made. Owner = parent, or the tray's own window when parent is null; the menu resource and
  // the icon id are both `id`. True when the shell took the icon; when it did not, the add is
  // retried until it does.
  bool Create(HWND parent, UINT callback_message, const char* tip, HICON icon, UINT id);
  bool ShowIcon();
  bool HideIcon();
  bool RemoveIcon();
  bool SetIcon(HICON icon);
  // The tip holds at most 63 characters; longer text is cut.
  bool SetTooltipText(std::string_view text);
  // The shell's callback: right-button release shows the menu, a double-click runs its default
  // item. 1 when handled, 0 for another icon id or a menu that cannot be loaded.
  LRESULT OnTrayNotification(WPARAM id, LPARAM mouse_message);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // Sends a copy of the record with `flags` to the shell.
  bool Notify(DWORD action, UINT flags);
  // Adds the icon (or, when the shell still has it, brings it up to date) unless it is hidden;
  // on failure the retry timer tries again. On the tray window's thread only.
  void AddAgain();
  // A change of an icon the shell should have failed: it may have lost it. Any thread.
  void OnModifyFailed();

  mutable std::mutex lock_;
  NOTIFYICONDATAA data_{};
  bool enabled_ = false;
  bool hidden_ = false;
  bool in_shell_ = false;  // the last add succeeded and nothing deleted the icon since
  UINT default_item_ = 0;  // by position in the pop-up
  HWND window_ = nullptr;  // the hidden notification window, owned here
};

}  // namespace zelquo::gui
