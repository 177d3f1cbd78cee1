#include "new_name_dlgs.h"

#include "page_helpers.h"
#include "resource.h"

namespace zelquo::gui {

CNewDomainDlg::CNewDomainDlg(std::string name) : CDialog(IDD_NEW_DOMAIN), name_(std::move(name)) {}

bool CNewDomainDlg::OnInitDialog() {
  LimitToStoredText(Item(IDC_NEW_DOMAIN_NAME));
  return CDialog::OnInitDialog();
}

void CNewDomainDlg::DoDataExchange(const win::CDataExchange& exchange) { exchange.Text(IDC_NEW_DOMAIN_NAME, name_); }

CNewAliasDlg::CNewAliasDlg(AliasFields fields) : CDialog(IDD_NEW_ALIAS), fields_(std::move(fields)) {}

bool CNewAliasDlg::OnInitDialog() {
  LimitToStoredText(Item(IDC_NEW_ALIAS_LABEL));
  LimitToStoredText(Item(IDC_NEW_ALIAS_DOMAIN_NAME));
  return CDialog::OnInitDialog();
}

void CNewAliasDlg::DoDataExchange(const win::CDataExchange& exchange) {
  exchange.Text(IDC_NEW_ALIAS_LABEL, fields_.alias);
  exchange.Text(IDC_NEW_ALIAS_DOMAIN_NAME, fields_.host_name);
}

}  // namespace zelquo::gui
