#include "connection_type_page.h"

#include "page_helpers.h"
#include "resource.h"

namespace zelquo::gui {

namespace {

constexpr struct {
  int control_id;
  IpMethodChoice method;
} kMethodRadios[] = {
    {IDC_CLIENT_SIDE, IpMethodChoice::kClientSide},
    {IDC_SERVER_SIDE, IpMethodChoice::kServerSide},
    {IDC_BOTH_SIDES, IpMethodChoice::kBothSides},
    {IDC_STATIC_ADDRESS, IpMethodChoice::kStaticAddress},
};

}  // namespace

CConnectionTypePage::CConnectionTypePage() : CDialog(IDD_CONNECTION_TYPE_PAGE) {
  for (const auto& radio : kMethodRadios) {
    OnClick(radio.control_id, [this, method = radio.method] { choice_.method = method; });
  }
  OnClick(IDC_USE_HTTPS, [this] { ShowPortInUse(); });
  OnClick(IDOK, [this] { Save(); });
}

// Over HTTPS the requests go to 443 whatever the port box says: it stays as stored but greyed.
void CConnectionTypePage::ShowPortInUse() {
  EnableWindow(Item(IDC_ALTERNATIVE_PORT), IsDlgButtonChecked(Window(), IDC_USE_HTTPS) != BST_CHECKED);
}

bool CConnectionTypePage::OnInitDialog() {
  choice_ = ReadConnectionType(ProgramSettings());
  for (const auto& radio : kMethodRadios) {
    CheckDlgButton(Window(), radio.control_id, radio.method == choice_.method ? BST_CHECKED : BST_UNCHECKED);
  }
  SetAddressControl(Item(IDC_STATIC_ADDRESS_IP), choice_.static_address);
  CheckDlgButton(Window(), IDC_ALTERNATIVE_PORT, choice_.use_alternative_port ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(Window(), IDC_USE_HTTPS, choice_.use_https ? BST_CHECKED : BST_UNCHECKED);
  ShowPortInUse();
  CheckDlgButton(Window(), IDC_UPDATE_IPV6, choice_.update_ipv6 ? BST_CHECKED : BST_UNCHECKED);
  return true;
}

void CConnectionTypePage::Save() {
  choice_.static_address = GetAddressControl(Item(IDC_STATIC_ADDRESS_IP));
  choice_.use_alternative_port = IsDlgButtonChecked(Window(), IDC_ALTERNATIVE_PORT) == BST_CHECKED;
  choice_.use_https = IsDlgButtonChecked(Window(), IDC_USE_HTTPS) == BST_CHECKED;
  choice_.update_ipv6 = IsDlgButtonChecked(Window(), IDC_UPDATE_IPV6) == BST_CHECKED;
  const CSettingsFile settings = ProgramSettings();
  SaveConnectionType(MakePageContext(settings, Window()), choice_);
}

}  // namespace zelquo::gui
