// The settings window's tab control: one record per page (label, window, place and size), the
// tab selection that shows one page and hides the others, and the next/previous page keys.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/dialog.h"

namespace zelquo::gui {

class CPageTabCtrl {
 public:
  // Creates the visible tab control as a child of parent with control id `id`.
  bool Create(HWND parent, const RECT& rect, int id, HFONT font);
  [[nodiscard]] HWND Window() const { return window_; }

  // Creates page as a child of the tab control and inserts its tab at `index` (past the end:
  // appended). The first page added is shown, the others hidden.
  bool AddPage(const char* label, win::CDialog& page, int index);

  // The tab selection changed: show the page of the selected tab (an out-of-range selection
  // means the first page).
  void OnSelChange();
  // After the last page comes the first, before the first the last.
  void SelectNext();
  void SelectPrevious();

 private:
  struct PageRecord {
    std::string label;
    HWND window;  // owned by the tab control, its parent
    POINT position;
    SIZE size;
  };
  void ShowPage(int index);

  HWND window_ = nullptr;  // owned by the parent dialog
  std::vector<PageRecord> pages_;
  int last_index_ = -1;
  int current_ = -1;
};

}  // namespace zelquo::gui
