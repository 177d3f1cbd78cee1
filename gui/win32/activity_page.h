// The Activity page of the settings window: the activity log, copied into its edit once a second
// when it has changed. Text typed into the edit stays until the log changes.
#pragma once

#include <string>

#include "framework/dialog.h"

namespace zelquo::gui {

class CActivityPage final : public win::CDialog {
 public:
  CActivityPage();

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(const win::CDataExchange& exchange) override;

 private:
  void RefreshLog();
  std::string log_;
};

}  // namespace zelquo::gui
