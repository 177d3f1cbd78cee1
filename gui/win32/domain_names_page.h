// The Domain Names page of the settings window: the stored host names and aliases in two sorted
// lists, with Add, Remove and Remove All for each. The settings file is edited at each click.
#pragma once

#include <string>

#include "framework/dialog.h"

namespace zelquo::gui {

class CDomainNamesPage final : public win::CDialog {
 public:
  CDomainNamesPage();

 protected:
  bool OnInitDialog() override;

 private:
  void FillLists();
  [[nodiscard]] std::string SelectedText(int list_id) const;
  void AddDomainName();
  void AddAlias();
};

}  // namespace zelquo::gui
