#include "status_light.h"

namespace zelquo::gui {

namespace {

constexpr int kImageSize = 16;
// The strip's background, painted nowhere.
constexpr COLORREF kTransparent = RGB(255, 0, 255);
constexpr char kObjectProperty[] = "ZelquoStatusLight";

}  // namespace

CStatusLight::~CStatusLight() {
  if (control_ && IsWindow(control_)) {
    SetWindowLongPtrA(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(static_proc_));
    RemovePropA(control_, kObjectProperty);
  }
  if (strip_) DeleteObject(strip_);
}

void CStatusLight::Attach(HWND control, int strip_id) {
  if (!control || control_) return;
  control_ = control;
  strip_ = static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(strip_id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  SetPropA(control_, kObjectProperty, this);
  static_proc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CStatusLight::WindowProc)));
}

void CStatusLight::SetImageOffset(int offset) {
  offset_ = offset;
  if (control_) InvalidateRect(control_, nullptr, TRUE);
}

LRESULT CALLBACK CStatusLight::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* light = static_cast<CStatusLight*>(GetPropA(window, kObjectProperty));
  if (!light) return DefWindowProcA(window, message, wparam, lparam);
  if (message == WM_PAINT) {
    light->Paint();
    return 0;
  }
  return CallWindowProcA(light->static_proc_, window, message, wparam, lparam);
}

void CStatusLight::Paint() {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(control_, &paint);
  RECT area;
  GetClientRect(control_, &area);
  // The page's background: the parent's colour for static controls, as the page would paint it.
  const HWND parent = GetParent(control_);
  const auto brush = reinterpret_cast<HBRUSH>(
      SendMessageA(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control_)));
  FillRect(dc, &area, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
  if (strip_) {
    const HDC source = CreateCompatibleDC(dc);
    const HGDIOBJ previous = SelectObject(source, strip_);
    const int x = (area.right - area.left - kImageSize) / 2;
    const int y = (area.bottom - area.top - kImageSize) / 2;
    TransparentBlt(dc, x, y, kImageSize, kImageSize, source, offset_, 0, kImageSize, kImageSize, kTransparent);
    SelectObject(source, previous);
    DeleteDC(source);
  }
  EndPaint(control_, &paint);
}

}  // namespace zelquo::gui
