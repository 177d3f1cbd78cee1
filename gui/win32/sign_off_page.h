// The SignOff Settings page of the settings window: where the host names point once the program
// exits, written by the page's Save.
#pragma once

#include "framework/dialog.h"
#include "logic/sign_off_page.h"

namespace zelquo::gui {

class CSignOffPage final : public win::CDialog {
 public:
  CSignOffPage();

 protected:
  bool OnInitDialog() override;

 private:
  void Save();
  SignOffSettings sign_off_;
};

}  // namespace zelquo::gui
