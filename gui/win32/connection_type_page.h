// The Connection Type page of the settings window: the detection method, the static address and
// the port, HTTPS and IPv6 options, written by the page's Save.
#pragma once

#include "framework/dialog.h"
#include "logic/connection_type_page.h"

namespace zelquo::gui {

class CConnectionTypePage final : public win::CDialog {
 public:
  CConnectionTypePage();

 protected:
  bool OnInitDialog() override;

 private:
  void Save();
  // The port box is enabled only while the HTTPS box is clear.
  void ShowPortInUse();
  // The stored method until a radio is clicked: the network-card method has no radio.
  ConnectionType choice_;
};

}  // namespace zelquo::gui
