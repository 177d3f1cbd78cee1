#include "ignore_ip_page.h"

#include "logic/ignore_ip_page.h"
#include "page_helpers.h"
#include "resource.h"

namespace zelquo::gui {

CIgnoreIpPage::CIgnoreIpPage() : CDialog(IDD_IGNORE_IP_PAGE) {
  const auto on_click = [this](int id, void (*action)(const PageContext&, std::string_view)) {
    OnClick(id, [this, action] {
      UpdateData(true);
      const CSettingsFile settings = ProgramSettings();
      action(MakePageContext(settings, Window()), entry_);
      list_ = IgnoreListText(settings);
      UpdateData(false);
    });
  };
  on_click(IDC_ADD_IP, &AddIgnoredAddress);
  on_click(IDC_REMOVE_IP, &RemoveIgnoredAddress);
}

bool CIgnoreIpPage::OnInitDialog() {
  list_ = IgnoreListText(ProgramSettings());
  LimitToStoredText(Item(IDC_IGNORE_ENTRY));
  UpdateData(false);
  return true;
}

void CIgnoreIpPage::DoDataExchange(const win::CDataExchange& exchange) {
  exchange.Text(IDC_IGNORE_LIST, list_);
  exchange.Text(IDC_IGNORE_ENTRY, entry_);
}

}  // namespace zelquo::gui
