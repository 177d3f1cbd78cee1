#include "page_tab_ctrl.h"

#include <commctrl.h>

namespace zelquo::gui {

namespace {

// Where every page sits inside the tab control, below the tabs.
constexpr POINT kPagePosition{10, 30};

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
  std::string text = label;
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = text.data();
  SendMessageA(window_, TCM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));

  RECT rect{};
  GetWindowRect(page_window, &rect);
  pages_.push_back({std::move(text), page_window, kPagePosition, {rect.right - rect.left, rect.bottom - rect.top}});
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
