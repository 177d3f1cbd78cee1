#include "page_tab_ctrl.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>

namespace zelquo::gui {

namespace {

// Where a page of this size sits: centred in the tab control's display area, below the tabs,
// whose height follows the font and the DPI; never above or left of that area.
POINT PagePosition(HWND tabs, SIZE page) {
  RECT area{};
  GetClientRect(tabs, &area);
  SendMessageA(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  const auto centred = [](LONG start, LONG end, LONG size) { return start + std::max(0L, (end - start - size) / 2); };
  return POINT{centred(area.left, area.right, page.cx), centred(area.top, area.bottom, page.cy)};
}

}  // namespace

bool CPageTabCtrl::Create(HWND parent, const RECT& rect, int id, HFONT font) {
  // WS_EX_CONTROLPARENT lets the dialog's keyboard navigation reach the controls of the pages,
  // which are the tab control's children.
  window_ = CreateWindowExA(WS_EX_CONTROLPARENT, WC_TABCONTROLA, "",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, rect.left,
                            rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  if (!window_) return false;
  SendMessageA(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return true;
}

bool CPageTabCtrl::AddPage(const char* label, win::CDialog& page, int index) {
  const HWND page_window = page.CreatePage(window_);
  if (!page_window) return false;
  // Pages paint the tab control's body behind their controls instead of the dialog colour, so
  // that a page smaller than the body does not show as a grey box inside it.
  EnableThemeDialogTexture(page_window, ETDT_ENABLETAB);
  std::string text = label;
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = text.data();
  SendMessageA(window_, TCM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));

  RECT rect{};
  GetWindowRect(page_window, &rect);
  const SIZE size{rect.right - rect.left, rect.bottom - rect.top};
  pages_.push_back({std::move(text), page_window, PagePosition(window_, size), size});
  ++last_index_;
  const PageRecord& record = pages_.back();
  SetWindowPos(page_window, nullptr, record.position.x, record.position.y, record.size.cx, record.size.cy,
               SWP_NOZORDER | SWP_NOACTIVATE);
  if (pages_.size() == 1) {
    current_ = 0;
    ShowWindow(page_window, SW_SHOW);
  } else {
    ShowWindow(page_window, SW_HIDE);
  }
  return true;
}

void CPageTabCtrl::OnSelChange() {
  int index = static_cast<int>(SendMessageA(window_, TCM_GETCURSEL, 0, 0));
  if (index < 0 || index > last_index_) index = 0;
  ShowPage(index);
}

void CPageTabCtrl::SelectNext() {
  if (last_index_ < 0) return;
  ShowPage(current_ >= last_index_ ? 0 : current_ + 1);
}

void CPageTabCtrl::SelectPrevious() {
  if (last_index_ < 0) return;
  ShowPage(current_ <= 0 ? last_index_ : current_ - 1);
}

void CPageTabCtrl::ShowPage(int index) {
  if (index < 0 || index > last_index_) return;
  if (current_ >= 0 && current_ != index) ShowWindow(pages_[static_cast<std::size_t>(current_)].window, SW_HIDE);
  const PageRecord& record = pages_[static_cast<std::size_t>(index)];
  SetWindowPos(record.window, HWND_TOP, record.position.x, record.position.y, record.size.cx, record.size.cy,
               SWP_SHOWWINDOW);
  current_ = index;
  SendMessageA(window_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
}

}  // namespace zelquo::gui
