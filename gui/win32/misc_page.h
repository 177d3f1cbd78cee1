// The Misc page of the settings window: the service's state with its status light and the
// buttons that install, start, stop and restart it; the custom command, the poll interval and
// the autorun option.
#pragma once

#include "framework/dialog.h"
#include "logic/misc_page.h"
#include "status_light.h"

namespace zelquo::gui {

class CMiscPage final : public win::CDialog {
 public:
  CMiscPage();

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(const win::CDataExchange& exchange) override;

 private:
  void RunServiceAction(ServiceAction action);
  // Asks a new service manager for the state and shows it.
  void RefreshState();
  void Save();
  void ToggleAutorun();

  MiscSettings misc_;
  std::string state_text_;
  CStatusLight light_;
};

}  // namespace zelquo::gui
