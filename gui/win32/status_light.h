// The Misc page's status light: paints one 16 x 16 image of a strip of four, centred in the
// control, with the strip's background colour left transparent. It subclasses a static control
// from the page's template.
#pragma once

#include <windows.h>

namespace zelquo::gui {

class CStatusLight {
 public:
  CStatusLight() = default;
  ~CStatusLight();
  CStatusLight(const CStatusLight&) = delete;
  CStatusLight& operator=(const CStatusLight&) = delete;

  // Takes over painting of control, with the strip from the bitmap resource strip_id.
  void Attach(HWND control, int strip_id);
  // The left edge of the image to show (0, 16, 32 or 48).
  void SetImageOffset(int offset);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void Paint();

  HWND control_ = nullptr;  // owned by the page
  HBITMAP strip_ = nullptr;
  WNDPROC static_proc_ = nullptr;
  int offset_ = 48;
};

}  // namespace zelquo::gui
