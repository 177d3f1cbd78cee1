// The program's own message box: a read-only, scrolling text and an OK button, shown modally.
#pragma once

#include <windows.h>

#include <string>

#include "framework/dialog.h"

namespace zelquo::gui {

class CMessageDlg final : public win::CDialog {
 public:
  explicit CMessageDlg(std::string text);

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(const win::CDataExchange& exchange) override;

 private:
  std::string text_;
};

// Shows text and returns when the user has pressed OK (or the program is quitting). owner may be
// null: the box is then on its own, above other windows.
void ShowMessage(const std::string& text, HWND owner);

}  // namespace zelquo::gui
