#include "sign_off_page.h"

#include "page_helpers.h"
#include "resource.h"

namespace zelquo::gui {

namespace {

constexpr struct {
  int control_id;
  SignOffChoice choice;
} kChoiceRadios[] = {
    {IDC_SIGN_OFF_OFFLINE_MESSAGE, SignOffChoice::kOfflineMessage},
    {IDC_SIGN_OFF_NO_CHANGE, SignOffChoice::kNoChange},
    {IDC_SIGN_OFF_ZERO_ADDRESS, SignOffChoice::kZeroAddress},
    {IDC_SIGN_OFF_GIVEN_ADDRESS, SignOffChoice::kGivenAddress},
};

}  // namespace

CSignOffPage::CSignOffPage() : CDialog(IDD_SIGN_OFF_PAGE) {
  for (const auto& radio : kChoiceRadios) {
    OnClick(radio.control_id, [this, choice = radio.choice] { sign_off_.choice = choice; });
  }
  OnClick(IDOK, [this] { Save(); });
}

bool CSignOffPage::OnInitDialog() {
  sign_off_ = ReadSignOffSettings(ProgramSettings());
  for (const auto& radio : kChoiceRadios) {
    CheckDlgButton(Window(), radio.control_id, radio.choice == sign_off_.choice ? BST_CHECKED : BST_UNCHECKED);
  }
  SetAddressControl(Item(IDC_SIGN_OFF_ADDRESS_IP), sign_off_.address);
  return true;
}

void CSignOffPage::Save() {
  sign_off_.address = GetAddressControl(Item(IDC_SIGN_OFF_ADDRESS_IP));
  SaveSignOffSettings(ProgramSettings(), sign_off_);
}

}  // namespace zelquo::gui
