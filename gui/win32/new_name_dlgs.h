// The Domain Names page's two small dialogs: a new host name, and a new alias with the host
// name it lives under. Each opens with the text of the previous attempt; the page checks it.
#pragma once

#include <string>

#include "framework/dialog.h"
#include "logic/domain_names_page.h"

namespace zelquo::gui {

class CNewDomainDlg final : public win::CDialog {
 public:
  explicit CNewDomainDlg(std::string name);
  [[nodiscard]] const std::string& Name() const { return name_; }

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(const win::CDataExchange& exchange) override;

 private:
  std::string name_;
};

class CNewAliasDlg final : public win::CDialog {
 public:
  explicit CNewAliasDlg(AliasFields fields);
  [[nodiscard]] const AliasFields& Fields() const { return fields_; }

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(const win::CDataExchange& exchange) override;

 private:
  AliasFields fields_;
};

}  // namespace zelquo::gui
