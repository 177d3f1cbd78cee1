#include "framework/dialog.h"

#include "framework/win_app.h"

namespace zelquo::win {

namespace {

// Marks the windows of this framework's dialogs, so that the message loop can find the object.
constexpr char kDialogProperty[] = "ZelquoDialogObject";

HINSTANCE ResourceInstance() {
  if (CWinApp* app = CWinApp::Current(); app && app->Instance()) return app->Instance();
  return GetModuleHandleA(nullptr);
}

}  // namespace

void CDataExchange::Text(int control_id, std::string& value) const {
  const HWND control = GetDlgItem(dialog_, control_id);
  if (!control) return;
  if (save_) {
    const int length = GetWindowTextLengthA(control);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    value = std::move(text);
  } else {
    SetWindowTextA(control, value.c_str());
  }
}

CDialog::~CDialog() {
  if (window_) DestroyWindow(window_);
}

CDialog* CDialog::FromWindow(HWND window) {
  return window ? static_cast<CDialog*>(GetPropA(window, kDialogProperty)) : nullptr;
}

INT_PTR CDialog::DoModal(HWND owner) {
  page_ = false;
  ending_ = false;
  result_ = IDCANCEL;
  if (!CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(template_id_), owner, &CDialog::DialogProc,
                          reinterpret_cast<LPARAM>(this))) {
    return kModalFailed;
  }
  const bool disable_owner = owner && IsWindowEnabled(owner);
  if (disable_owner) EnableWindow(owner, FALSE);
  if (!ending_) ShowWindow(window_, SW_SHOW);
  MSG message{};
  while (!ending_) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) {
      // The program is quitting: leave this loop and let the outer loops see the quit too.
      PostQuitMessage(static_cast<int>(message.wParam));
      result_ = kModalQuit;
      break;
    }
    if (got == -1) {
      result_ = kModalFailed;
      break;
    }
    DispatchThreadMessage(message);
  }
  // Enable the owner before the dialog goes, or the system activates some other window.
  if (disable_owner) EnableWindow(owner, TRUE);
  if (window_) DestroyWindow(window_);
  return result_;
}

HWND CDialog::CreatePage(HWND parent) {
  page_ = true;
  return CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(template_id_), parent, &CDialog::DialogProc,
                            reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(INT_PTR result) {
  result_ = result;
  ending_ = true;
}

void CDialog::UpdateData(bool save) {
  if (window_) DoDataExchange(CDataExchange(window_, save));
}

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void CDialog::OnOK() {
  if (page_) return;
  UpdateData(true);
  EndDialog(IDOK);
}

void CDialog::OnCancel() {
  if (page_) {
    PostMessageA(GetAncestor(window_, GA_ROOT), WM_COMMAND, IDCANCEL, 0);
    return;
  }
  EndDialog(IDCANCEL);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  CDialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lparam);
    self->window_ = window;
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    SetPropA(window, kDialogProperty, self);
  } else {
    self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  }
  if (!self) return FALSE;
  if (message == WM_NCDESTROY) {
    RemovePropA(window, kDialogProperty);
    SetWindowLongPtrA(window, DWLP_USER, 0);
    self->window_ = nullptr;
    return FALSE;
  }
  return self->HandleMessage(message, wparam, lparam);
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      if (const auto handler = commands_.find(id); handler != commands_.end()) {
        handler->second(HIWORD(wparam));
      } else if (id == IDOK) {
        OnOK();
      } else if (id == IDCANCEL) {
        OnCancel();
      } else {
        return FALSE;
      }
      return TRUE;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      const auto handler = notifies_.find(static_cast<int>(header->idFrom));
      if (handler == notifies_.end()) return FALSE;
      handler->second(*header);
      return TRUE;
    }
    case WM_TIMER: {
      const auto handler = timers_.find(wparam);
      if (handler == timers_.end()) return FALSE;
      handler->second();
      return TRUE;
    }
    case WM_CLOSE:
      OnCancel();
      return TRUE;
    default:
      if (message >= WM_APP) {
        const auto handler = messages_.find(message);
        if (handler == messages_.end()) return FALSE;
        SetWindowLongPtrA(window_, DWLP_MSGRESULT, handler->second(wparam, lparam));
        return TRUE;
      }
      return FALSE;
  }
}

}  // namespace zelquo::win
