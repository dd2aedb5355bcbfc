#include "wizard/pages.h"

#include "engine/distribution.h"
#include "engine/format_text.h"
#include "resources/catalogue.h"

std::string VersionText(const std::string& format, const FileVersion& version) {
  const std::string extra =
      version.revision != 0 ? FormatText("Beta %d", {version.revision}) : std::string();
  return FormatText(format, {version.major, version.minor, version.build, extra});
}

bool CIntoDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  const platform::WindowHandle text = Item(layout::kVersionText);
  Dialogs().SetText(text, VersionText(Dialogs().GetText(text), options_.NewVersion));
  return true;
}

void CAgreementDlg::DoDataExchange(framework::DataExchange& exchange) {
  exchange.Text(layout::kAgreementText, text_);
}

bool CAgreementDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  // From the distribution: started by its full path from another folder, the setup would
  // otherwise show whatever agreement lies there. The control shows a C string, so a zero
  // byte ends the text.
  const std::optional<std::string> bytes = App().GetPlatform().files.ReadWholeFile(
      options_.SourceFolder + "\\" + distribution::kAgreement);
  text_ = bytes ? bytes->substr(0, bytes->find('\0')) : std::string();
  found_ = !text_.empty();
  if (!found_) {
    text_ = FormatText(App().LoadString(catalogue::kAgreementMissing), {options_.SourceFolder});
  }
  UpdateData(false);
  const platform::WindowHandle edit = Item(layout::kAgreementText);
  Dialogs().SetEditSelection(edit, 0, 0);
  Dialogs().ScrollCaret(edit);
  Dialogs().PlaceOnTop(Handle(), 4, 4);
  UpdateData(false);
  // The focus stays where it is: the dialog manager would select the whole text on focusing
  // the edit box.
  return false;
}
