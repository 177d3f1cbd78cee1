// uidriver: drives the tray program's windows from another process, one command per call, for
// the GUI test scripts. The exit code is the verdict (0 yes/done, 1 no/timed out, 2 usage or a
// window or control that is not there); values are printed on standard output.
//
// A WINDOW argument is a caption, or "class:NAME" for a window class. With several top-level
// windows of that name, the first visible one is used (the first one at all when none is
// visible). A control ID is searched among the window's children first, then among every
// descendant (the pages inside the tab control), so page controls need no path. "A/B" names
// control B beside control A (the Save button, id 1, of the page that holds control A).
//
//   wait WINDOW [MS]            until such a window is visible (default 10000 ms)
//   gone WINDOW [MS]            until no such window exists
//   count WINDOW                prints how many top-level windows match, and how many are visible
//   settext WINDOW ID TEXT      WM_SETTEXT (not held to the edit's length limit)
//   replacesel WINDOW ID TEXT   selects all of an edit's text and replaces it by TEXT with
//                               EM_REPLACESEL, which the edit's length limit cuts as it cuts typing
//   gettext WINDOW ID           prints the text (ID 0: the window's own caption)
//   click WINDOW ID             posts BM_CLICK, so a modal box it opens cannot block the driver
//   check WINDOW ID             prints BM_GETCHECK
//   list WINDOW ID              prints a list box's lines
//   select WINDOW ID INDEX      LB_SETCURSEL
//   setip WINDOW ID A B C D     IPM_SETADDRESS on an IP-address control
//   visible WINDOW ID           exit 0 when the control is visible
//   enabled WINDOW ID           exit 0 when the control is enabled
//   key WINDOW ID VK [ctrl] [shift]
//                               posts WM_KEYDOWN and WM_KEYUP of VK (hex or decimal) to the
//                               control; with modifiers, holds them in the target thread's
//                               keyboard state meanwhile (see PostKey)
//   tab WINDOW                  prints "count selection visible-pages" of the tab control
//   tray MOUSEMSG               posts the tray callback to every tray window (e.g. 0x205 for a
//                               right-button release, 0x203 for a double-click)
//   menukeys VK...              posts the keys to the open pop-up menu (waits up to 5 s for one)
//   center WINDOW ID            prints the X root coordinates of the control's centre
//   rect WINDOW ID              prints the control's left, top, right and bottom in X root
//                               coordinates
//   close WINDOW                posts WM_CLOSE
//   openclose WINDOW N          N times: a double-click on the tray icon, until WINDOW is visible,
//                               then WM_CLOSE, until none is; exit 1 at the first that times out
//   traylost                    takes the program's icon out of the notification area, as a
//                               restarting shell loses it
//   taskbarcreated              broadcasts the shell's "TaskbarCreated", as a new shell does
//
// Under Wine, values and texts are marshalled across processes but out-pointers and WM_NOTIFY
// are not, so everything here is a posted message or a text-valued one.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Control ids and numbers the program's resource header fixes; the driver is a separate
// program and cannot include it.
constexpr int kTabControlId = 1200;
constexpr UINT kTrayCallbackMessage = WM_USER + 10;
constexpr WPARAM kTrayIconId = 134;
constexpr char kTrayWindowClass[] = "ZelquoIucTray";
constexpr char kMenuWindowClass[] = "#32768";
constexpr UINT kSendTimeoutMs = 5000;

struct WindowQuery {
  std::string caption;
  std::string class_name;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectMatch(HWND window, LPARAM parameter) {
  auto* query = reinterpret_cast<WindowQuery*>(parameter);
  char text[512] = {};
  if (!query->class_name.empty()) {
    GetClassNameA(window, text, sizeof text);
    if (query->class_name == text) query->found.push_back(window);
  } else {
    GetWindowTextA(window, text, sizeof text);
    if (query->caption == text) query->found.push_back(window);
  }
  return TRUE;
}

std::vector<HWND> FindTopLevel(const std::string& window_name) {
  WindowQuery query;
  if (window_name.rfind("class:", 0) == 0) {
    query.class_name = window_name.substr(6);
  } else {
    query.caption = window_name;
  }
  EnumWindows(CollectMatch, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

HWND FindWindowByName(const std::string& window_name) {
  const std::vector<HWND> found = FindTopLevel(window_name);
  for (HWND window : found) {
    if (IsWindowVisible(window)) return window;
  }
  return found.empty() ? nullptr : found.front();
}

HWND FindControl(HWND parent, int id) {
  if (id == 0) return parent;
  if (HWND direct = GetDlgItem(parent, id)) return direct;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (HWND inner = FindControl(child, id); inner && inner != child) return inner;
  }
  return nullptr;
}

long ParseNumber(const char* text) { return std::strtol(text, nullptr, 0); }

int Fail(const char* what, const char* detail) {
  std::fprintf(stderr, "uidriver: %s %s\n", what, detail);
  return 2;
}

// Resolves WINDOW and ID or reports which one is missing.
bool ResolveControl(const char* window_name, const char* id_text, HWND& control) {
  HWND window = FindWindowByName(window_name);
  if (!window) {
    Fail("no window", window_name);
    return false;
  }
  char* rest = nullptr;
  control = FindControl(window, static_cast<int>(std::strtol(id_text, &rest, 0)));
  if (control && *rest == '/') {
    control = GetDlgItem(GetParent(control), static_cast<int>(ParseNumber(rest + 1)));
  }
  if (!control) {
    Fail("no control", id_text);
    return false;
  }
  return true;
}

int WaitFor(const std::string& window_name, DWORD ms, bool until_gone) {
  const DWORD start = GetTickCount();
  do {
    const std::vector<HWND> found = FindTopLevel(window_name);
    if (until_gone) {
      if (found.empty()) return 0;
    } else {
      for (HWND window : found) {
        if (IsWindowVisible(window)) return 0;
      }
    }
    Sleep(100);
  } while (GetTickCount() - start < ms);
  return 1;
}

std::string ReadText(HWND control) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &length)) {
    return {};
  }
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutA(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied);
  text.resize(copied);
  return text;
}

// A posted WM_KEYDOWN does not change the key state the receiver reads with GetKeyState. For
// Ctrl or Shift the driver therefore joins the target thread's input (the two threads then share
// one key state), marks the modifiers down, posts the key and gives the receiver time to read
// the state before putting the old state back.
void PostKey(HWND control, UINT vk, bool ctrl, bool shift) {
  const bool modified = ctrl || shift;
  const DWORD target_thread = GetWindowThreadProcessId(control, nullptr);
  const DWORD own_thread = GetCurrentThreadId();
  BYTE saved[256] = {};
  const bool attached = modified && AttachThreadInput(own_thread, target_thread, TRUE);
  if (attached) {
    GetKeyboardState(saved);
    BYTE held[256];
    std::memcpy(held, saved, sizeof held);
    if (ctrl) held[VK_CONTROL] = held[VK_LCONTROL] = 0x80;
    if (shift) held[VK_SHIFT] = held[VK_LSHIFT] = 0x80;
    SetKeyboardState(held);
  }
  const UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
  const LPARAM extended = (vk == VK_NEXT || vk == VK_PRIOR || vk == VK_LEFT || vk == VK_RIGHT ||
                           vk == VK_UP || vk == VK_DOWN || vk == VK_HOME || vk == VK_END)
                              ? (1 << 24)
                              : 0;
  PostMessageA(control, WM_KEYDOWN, vk, 1 | (scan << 16) | extended);
  PostMessageA(control, WM_KEYUP, vk, 1 | (scan << 16) | extended | (3u << 30));
  if (attached) {
    Sleep(500);
    SetKeyboardState(saved);
    AttachThreadInput(own_thread, target_thread, FALSE);
  } else if (modified) {
    Fail("could not join the input of the window's thread for", "the modifier keys");
  }
}

struct TrayPost {
  LPARAM mouse_message;
  int posted;
};

BOOL CALLBACK PostToTray(HWND window, LPARAM parameter) {
  auto* post = reinterpret_cast<TrayPost*>(parameter);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (std::strcmp(name, kTrayWindowClass) == 0) {
    PostMessageA(window, kTrayCallbackMessage, kTrayIconId, post->mouse_message);
    ++post->posted;
  }
  return TRUE;
}

bool AnyVisible(const std::string& window_name) {
  for (HWND window : FindTopLevel(window_name)) {
    if (IsWindowVisible(window)) return true;
  }
  return false;
}

// Until WINDOW is visible (or, with visible false, until none is); false after 10 s.
bool WaitVisible(const std::string& window_name, bool visible) {
  const DWORD start = GetTickCount();
  do {
    if (AnyVisible(window_name) == visible) return true;
    Sleep(10);
  } while (GetTickCount() - start < 10000);
  return false;
}

int CountVisiblePages(HWND tab) {
  int visible = 0;
  for (HWND page = GetWindow(tab, GW_CHILD); page; page = GetWindow(page, GW_HWNDNEXT)) {
    if (IsWindowVisible(page)) ++visible;
  }
  return visible;
}

int Usage() {
  std::fputs("usage: uidriver wait|gone|count|settext|replacesel|gettext|click|check|list|select|setip|visible|"
             "key|enabled|tab|tray|menukeys|center|rect|close|openclose|traylost|taskbarcreated ...\n",
             stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  auto argument = [&](int i) -> const char* { return i < argc ? argv[i] : nullptr; };

  if (command == "wait" || command == "gone") {
    if (!argument(2)) return Usage();
    const DWORD ms = argument(3) ? static_cast<DWORD>(ParseNumber(argv[3])) : 10000;
    return WaitFor(argv[2], ms, command == "gone");
  }
  if (command == "count") {
    if (!argument(2)) return Usage();
    const std::vector<HWND> found = FindTopLevel(argv[2]);
    int visible = 0;
    for (HWND window : found) visible += IsWindowVisible(window) ? 1 : 0;
    std::printf("%zu %d\n", found.size(), visible);
    return 0;
  }
  if (command == "tray") {
    if (!argument(2)) return Usage();
    TrayPost post{static_cast<LPARAM>(ParseNumber(argv[2])), 0};
    EnumWindows(PostToTray, reinterpret_cast<LPARAM>(&post));
    return post.posted > 0 ? 0 : Fail("no window of class", kTrayWindowClass);
  }
  if (command == "menukeys") {
    // A menu window is found before it is shown, and a hidden one may linger from the last
    // menu: only a visible one takes keys.
    const std::string menu_window = std::string("class:") + kMenuWindowClass;
    HWND menu = nullptr;
    for (int i = 0; i < 50; ++i) {
      menu = FindWindowByName(menu_window);
      if (menu && IsWindowVisible(menu)) break;
      menu = nullptr;
      Sleep(100);
    }
    if (!menu) return 1;
    for (int i = 2; i < argc; ++i) {
      PostMessageA(menu, WM_KEYDOWN, static_cast<WPARAM>(ParseNumber(argv[i])), 0);
    }
    return 0;
  }
  if (command == "openclose") {
    if (!argument(3)) return Usage();
    const long times = ParseNumber(argv[3]);
    for (long i = 0; i < times; ++i) {
      TrayPost post{WM_LBUTTONDBLCLK, 0};
      EnumWindows(PostToTray, reinterpret_cast<LPARAM>(&post));
      if (!WaitVisible(argv[2], true)) return std::fprintf(stderr, "uidriver: not shown at %ld\n", i), 1;
      PostMessageA(FindWindowByName(argv[2]), WM_CLOSE, 0, 0);
      if (!WaitVisible(argv[2], false)) return std::fprintf(stderr, "uidriver: not hidden at %ld\n", i), 1;
    }
    return 0;
  }
  if (command == "traylost") {
    NOTIFYICONDATAA icon{};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = FindWindowA(kTrayWindowClass, nullptr);
    icon.uID = static_cast<UINT>(kTrayIconId);
    if (!icon.hWnd) return Fail("no window of class", kTrayWindowClass);
    return Shell_NotifyIconA(NIM_DELETE, &icon) ? 0 : 1;
  }
  if (command == "taskbarcreated") {
    return SendNotifyMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0) ? 0 : 1;
  }
  if (command == "close") {
    if (!argument(2)) return Usage();
    HWND window = FindWindowByName(argv[2]);
    if (!window) return Fail("no window", argv[2]);
    PostMessageA(window, WM_CLOSE, 0, 0);
    return 0;
  }
  if (command == "tab") {
    if (!argument(2)) return Usage();
    HWND tab = nullptr;
    if (!ResolveControl(argv[2], "1200", tab)) return 2;
    DWORD_PTR count = 0, selection = 0;
    SendMessageTimeoutA(tab, TCM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &count);
    SendMessageTimeoutA(tab, TCM_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &selection);
    std::printf("%d %d %d\n", static_cast<int>(count), static_cast<int>(selection),
                CountVisiblePages(tab));
    return 0;
  }

  // The remaining commands name a control.
  if (!argument(3)) return Usage();
  HWND control = nullptr;
  if (!ResolveControl(argv[2], argv[3], control)) return 2;

  if (command == "settext") {
    if (!argument(4)) return Usage();
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]),
                               SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) && result
               ? 0
               : 1;
  }
  if (command == "replacesel") {
    if (!argument(4)) return Usage();
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(control, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) &&
                   SendMessageTimeoutA(control, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(argv[4]),
                                       SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)
               ? 0
               : 1;
  }
  if (command == "gettext") {
    const std::string text = ReadText(control);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    return 0;
  }
  if (command == "click") {
    return PostMessageA(control, BM_CLICK, 0, 0) ? 0 : 1;
  }
  if (command == "check") {
    DWORD_PTR state = 0;
    if (!SendMessageTimeoutA(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state)) {
      return 1;
    }
    std::printf("%d\n", static_cast<int>(state));
    return 0;
  }
  if (command == "list") {
    // LB_GETTEXT from another process comes back as UTF-16 under Wine: ask for it as such.
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutA(control, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &count)) return 1;
    for (DWORD_PTR i = 0; i < count; ++i) {
      DWORD_PTR length = 0;
      SendMessageTimeoutW(control, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length);
      std::wstring wide(length + 1, L'\0');
      DWORD_PTR copied = 0;
      SendMessageTimeoutW(control, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide.data()), SMTO_ABORTIFHUNG,
                          kSendTimeoutMs, &copied);
      char line[1024] = {};
      WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(copied), line, sizeof line - 1, nullptr,
                          nullptr);
      std::printf("%s\n", line);
    }
    return 0;
  }
  if (command == "select") {
    if (!argument(4)) return Usage();
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(control, LB_SETCURSEL, static_cast<WPARAM>(ParseNumber(argv[4])), 0,
                               SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) && result != static_cast<DWORD_PTR>(LB_ERR)
               ? 0
               : 1;
  }
  if (command == "setip") {
    if (!argument(7)) return Usage();
    const LPARAM address = MAKEIPADDRESS(ParseNumber(argv[4]), ParseNumber(argv[5]), ParseNumber(argv[6]),
                                         ParseNumber(argv[7]));
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(control, IPM_SETADDRESS, 0, address, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) ? 0
                                                                                                              : 1;
  }
  if (command == "visible") {
    return IsWindowVisible(control) ? 0 : 1;
  }
  if (command == "enabled") {
    return IsWindowEnabled(control) ? 0 : 1;
  }
  if (command == "key") {
    if (!argument(4)) return Usage();
    bool ctrl = false, shift = false;
    for (int i = 5; i < argc; ++i) {
      ctrl |= std::strcmp(argv[i], "ctrl") == 0;
      shift |= std::strcmp(argv[i], "shift") == 0;
    }
    PostKey(control, static_cast<UINT>(ParseNumber(argv[4])), ctrl, shift);
    return 0;
  }
  if (command == "rect") {
    RECT rect{};
    if (!GetWindowRect(control, &rect)) return 1;
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
    return 0;
  }
  if (command == "center") {
    RECT rect{};
    if (!GetWindowRect(control, &rect)) return 1;
    std::printf("%ld %ld\n", (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    return 0;
  }
  return Usage();
}
