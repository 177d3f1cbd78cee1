#include "misc_page.h"

#include "message_dlg.h"
#include "page_helpers.h"
#include "platform/autorun.h"
#include "platform/module_path.h"
#include "program_runner.h"
#include "resource.h"
#include "service_manager.h"

namespace zelquo::gui {

namespace {

bool IsChecked(HWND page, int control_id) { return IsDlgButtonChecked(page, control_id) == BST_CHECKED; }

}  // namespace

CMiscPage::CMiscPage() : CDialog(IDD_MISC_PAGE) {
  constexpr struct {
    int control_id;
    ServiceAction action;
  } kActionButtons[] = {
      {IDC_SERVICE_INSTALL, ServiceAction::kInstall},
      {IDC_SERVICE_START, ServiceAction::kStart},
      {IDC_SERVICE_STOP, ServiceAction::kStop},
      {IDC_SERVICE_RESTART, ServiceAction::kRestart},
  };
  for (const auto& button : kActionButtons) {
    OnClick(button.control_id, [this, action = button.action] { RunServiceAction(action); });
  }
  OnClick(IDC_MISC_SAVE, [this] { Save(); });
  OnClick(IDC_AUTORUN, [this] { ToggleAutorun(); });
}

bool CMiscPage::OnInitDialog() {
  misc_ = ReadMiscSettings(ProgramSettings());
  light_.Attach(Item(IDC_SERVICE_LIGHT), IDB_SERVICE_LIGHTS);
  LimitToStoredText(Item(IDC_COMMAND));
  UpdateData(false);
  RefreshState();
  return true;
}

void CMiscPage::DoDataExchange(const win::CDataExchange& exchange) {
  exchange.Text(IDC_SERVICE_STATE, state_text_);
  exchange.Text(IDC_COMMAND, misc_.command);
  std::string poll_interval = std::to_string(misc_.poll_interval);
  exchange.Text(IDC_POLL_INTERVAL, poll_interval);
  if (exchange.Saving()) {
    misc_.poll_interval = ParsePollInterval(poll_interval);
    misc_.execute_command = IsChecked(Window(), IDC_EXECUTE_COMMAND);
    misc_.autorun = IsChecked(Window(), IDC_AUTORUN);
  } else {
    CheckDlgButton(Window(), IDC_EXECUTE_COMMAND, misc_.execute_command ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(Window(), IDC_AUTORUN, misc_.autorun ? BST_CHECKED : BST_UNCHECKED);
  }
}

void CMiscPage::RunServiceAction(ServiceAction action) {
  CServiceManager manager;
  if (manager.Open()) {
    // Each program is waited for; its result is not shown: the refreshed state tells what
    // happened.
    for (const ServiceCommand& command : ServiceActionCommands(action, platform::GetModuleFilePath(), SystemFolder())) {
      static_cast<void>(RunProgramAndWait(command));
    }
  } else {
    ShowMessage(kElevationMessage, GetAncestor(Window(), GA_ROOT));
  }
  RefreshState();
}

void CMiscPage::RefreshState() {
  CServiceManager manager;
  const ServiceStateDisplay shown =
      manager.Open() ? DisplayForServiceState(manager.QueryState(kServiceName)) : UnknownServiceStateDisplay();
  state_text_ = shown.text;
  SetDlgItemTextA(Window(), IDC_SERVICE_STATE, state_text_.c_str());
  light_.SetImageOffset(shown.image_offset);
}

void CMiscPage::Save() {
  UpdateData(true);
  const CSettingsFile settings = ProgramSettings();
  SaveMiscSettings(MakePageContext(settings, Window()), misc_);
}

void CMiscPage::ToggleAutorun() {
  UpdateData(true);
  const CSettingsFile settings = ProgramSettings();
  const bool applied =
      ApplyAutorun(MakePageContext(settings, Window()), misc_.autorun, platform::GetModuleFilePath(),
                   [](std::string_view name, std::string_view data) { return platform::SetAutorunValue(name, data); });
  if (!applied) {
    // The entry was not changed and "autorunonstartup" was left as it was: so is the box.
    misc_.autorun = !misc_.autorun;
    CheckDlgButton(Window(), IDC_AUTORUN, misc_.autorun ? BST_CHECKED : BST_UNCHECKED);
  }
}

}  // namespace zelquo::gui
