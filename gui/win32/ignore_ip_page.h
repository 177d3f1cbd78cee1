// The Ignore IP List page of the settings window: the stored ignore list, and Add IP and Remove
// IP for the text typed below it.
#pragma once

#include <string>

#include "framework/dialog.h"

namespace zelquo::gui {

class CIgnoreIpPage final : public win::CDialog {
 public:
  CIgnoreIpPage();

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(const win::CDataExchange& exchange) override;

 private:
  std::string list_;
  std::string entry_ = "0.0.0.0";
};

}  // namespace zelquo::gui
