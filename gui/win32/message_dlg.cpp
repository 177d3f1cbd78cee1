#include "message_dlg.h"

#include "resource.h"

namespace zelquo::gui {

namespace {

// A multi-line edit breaks lines only at "\r\n".
std::string WithEditLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

}  // namespace

CMessageDlg::CMessageDlg(std::string text) : CDialog(IDD_MESSAGE), text_(WithEditLineBreaks(text)) {}

bool CMessageDlg::OnInitDialog() {
  UpdateData(false);
  SetForegroundWindow(Window());
  // The OK button, not the text, takes the focus, so Enter closes the box.
  SetFocus(Item(IDOK));
  return false;
}

void CMessageDlg::DoDataExchange(const win::CDataExchange& exchange) { exchange.Text(IDC_MESSAGE_TEXT, text_); }

void ShowMessage(const std::string& text, HWND owner) {
  CMessageDlg dialog(text);
  dialog.DoModal(owner);
}

}  // namespace zelquo::gui
