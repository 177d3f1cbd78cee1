#include "domain_names_page.h"

#include "logic/domain_names_page.h"
#include "new_name_dlgs.h"
#include "page_helpers.h"
#include "resource.h"
#include "settings/settings.h"

namespace zelquo::gui {

namespace {

void FillList(HWND list, const std::vector<std::string>& lines) {
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& line : lines) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

}  // namespace

CDomainNamesPage::CDomainNamesPage() : CDialog(IDD_DOMAIN_NAMES_PAGE) {
  // Each button's action, then the lists as the file now has them.
  const auto on_click = [this](int id, auto action) {
    OnClick(id, [this, action] {
      action();
      FillLists();
    });
  };
  on_click(IDC_ADD_DOMAIN, [this] { AddDomainName(); });
  on_click(IDC_ADD_ALIAS, [this] { AddAlias(); });
  on_click(IDC_REMOVE_DOMAIN, [this] { RemoveDomainName(ProgramSettings(), SelectedText(IDC_DOMAIN_LIST)); });
  on_click(IDC_REMOVE_ALIAS, [this] { RemoveAlias(ProgramSettings(), SelectedText(IDC_ALIAS_LIST)); });
  on_click(IDC_REMOVE_ALL_DOMAINS, [] { RemoveAllDomainNames(ProgramSettings()); });
  on_click(IDC_REMOVE_ALL_ALIASES, [] { RemoveAllAliases(ProgramSettings()); });
}

bool CDomainNamesPage::OnInitDialog() {
  FillLists();
  return true;
}

void CDomainNamesPage::FillLists() {
  const CSettingsFile settings = ProgramSettings();
  FillList(Item(IDC_DOMAIN_LIST), DomainNameLines(settings));
  FillList(Item(IDC_ALIAS_LIST), AliasLines(settings));
}

std::string CDomainNamesPage::SelectedText(int list_id) const {
  const HWND list = Item(list_id);
  const LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (index == LB_ERR) return {};
  const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == LB_ERR) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const LRESULT copied = SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
  return text;
}

void CDomainNamesPage::AddDomainName() {
  const CSettingsFile settings = ProgramSettings();
  const HWND owner = GetAncestor(Window(), GA_ROOT);
  gui::AddDomainName(MakePageContext(settings, Window()), [owner](const std::string& previous) -> std::optional<std::string> {
    CNewDomainDlg dialog(previous);
    if (dialog.DoModal(owner) != IDOK) return std::nullopt;
    return dialog.Name();
  });
}

void CDomainNamesPage::AddAlias() {
  const CSettingsFile settings = ProgramSettings();
  const HWND owner = GetAncestor(Window(), GA_ROOT);
  gui::AddAlias(MakePageContext(settings, Window()), [owner](const AliasFields& previous) -> std::optional<AliasFields> {
    CNewAliasDlg dialog(previous);
    if (dialog.DoModal(owner) != IDOK) return std::nullopt;
    return dialog.Fields();
  });
}

}  // namespace zelquo::gui
