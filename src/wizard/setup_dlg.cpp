#include "wizard/setup_dlg.h"

#include <algorithm>

#include "engine/format_text.h"
#include "resources/catalogue.h"
#include "wizard/folder_dlg.h"
#include "wizard/group_dlg.h"
#include "wizard/pages.h"

namespace {

enum Position : int {
  kWelcome = 0,
  kAgreement = 1,
  kFolder = 2,
  kGroup = 3,
  kReady = 4,
  kInstalled = 5,
};

// Pixels between the side picture and the page.
constexpr int kPageGap = 4;

// The installing page's bar, one step a file.
class ProgressBar final : public DeploymentProgress {
 public:
  ProgressBar(platform::Dialogs& dialogs, platform::WindowHandle bar)
      : dialogs_(dialogs), bar_(bar) {}

  void Begin(int files) override {
    // A range of 0 to 0 is one the control does not expect; no files leaves the bar empty.
    dialogs_.SetProgressRange(bar_, std::max(files, 1));
    dialogs_.SetProgressPosition(bar_, 0);
  }
  void Advance(int filesDone) override { dialogs_.SetProgressPosition(bar_, filesDone); }

 private:
  platform::Dialogs& dialogs_;
  platform::WindowHandle bar_;
};

}  // namespace

void CSetupDlg::DoDataExchange(framework::DataExchange& exchange) {
  exchange.Control(layout::kCancel, cancelButton_);
  exchange.Control(layout::kSidePicture, sidePicture_);
  exchange.Control(layout::kBack, backButton_);
  exchange.Control(layout::kNext, nextButton_);
}

bool CSetupDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  // The frame is the application's main window from here on: the service boxes of the pages
  // and of the installation are owned by it.
  App().SetMainWindow(Handle());
  savedNextLabel_ = Dialogs().GetText(nextButton_);
  savedCancelLabel_ = Dialogs().GetText(cancelButton_);
  Next();
  return false;  // the Next button has the focus
}

void CSetupDlg::OnOK() {
  // Enter reaches here too while the Yes button is disabled.
  if (position_ == kAgreement && !agreementFound_) {
    return;
  }
  Next();
}

void CSetupDlg::OnClicked(int id) {
  // The Back button is hidden on the welcome page and disabled from the installation on.
  if (id != layout::kBack || position_ < kAgreement || position_ > kReady) {
    return;
  }
  // Two back and one forward: the page on show is asked to close exactly as for Next.
  position_ -= 2;
  if (!Next()) {
    position_ += 2;
  }
}

void CSetupDlg::OnCancel() {
  // Once installed, only Finish ends the wizard: a cancel now would report an installed
  // product as not installed. Escape and the close box still arrive here.
  if (position_ >= kInstalled) {
    return;
  }
  if (App().MessageBox(catalogue::kCancelQuestion,
                       {platform::Buttons::YesNo, platform::Icon::Question,
                        platform::DefaultButton::Second}) == platform::BoxResult::Yes) {
    End(platform::kIdCancel);
  }
}

bool CSetupDlg::Next() {
  if (page_ && position_ < kReady) {
    if (!page_->DestroyWindow()) {
      return false;
    }
    page_.reset();
  }
  ++position_;
  if (savedCaption_.empty()) {
    savedCaption_ = Dialogs().GetText(Handle());
  }
  if (position_ != kAgreement) {
    SetLabels(savedNextLabel_, savedCancelLabel_);
  }
  framework::Application& app = App();
  switch (position_) {
    case kWelcome:
      page_ = std::make_unique<CIntoDlg>(app, options_);
      page_->Create(Handle());
      Dialogs().Show(backButton_, false);
      break;
    case kAgreement:
      SetLabels(app.LoadString(catalogue::kYes), app.LoadString(catalogue::kNo));
      Dialogs().Show(backButton_, true);
      Dialogs().Show(sidePicture_, false);
      {
        auto agreement = std::make_unique<CAgreementDlg>(app, options_);
        agreement->Create(Handle());
        // An agreement that is not there cannot be accepted.
        agreementFound_ = agreement->HasAgreement();
        Dialogs().Enable(nextButton_, agreementFound_);
        page_ = std::move(agreement);
        Dialogs().SetText(Handle(), app.LoadString(catalogue::kAgreementTitle));
        return true;
      }
    case kFolder:
      page_ = std::make_unique<CFolderDlg>(app, options_);
      page_->Create(Handle());
      break;
    case kGroup:
      page_ = std::make_unique<CGroupDlg>(app, options_);
      page_->Create(Handle());
      break;
    case kReady:
      page_ = std::make_unique<CStartDlg>(app);
      page_->Create(Handle());
      break;
    case kInstalled:
      Install();
      return true;
    default:
      options_.RunAfter = Dialogs().IsChecked(PageItem(layout::kRunProduct));
      End(platform::kIdOk);
      return true;
  }
  ShowPage();
  return true;
}

void CSetupDlg::ShowPage() {
  platform::Dialogs& dialogs = Dialogs();
  dialogs.SetText(Handle(), savedCaption_);
  dialogs.Show(sidePicture_, true);
  dialogs.Enable(nextButton_, true);
  dialogs.SetFocus(nextButton_);
  const platform::Rect picture = dialogs.GetRectInParent(sidePicture_);
  dialogs.PlaceOnTop(page_->Handle(), picture.right + kPageGap, picture.top);
}

void CSetupDlg::Install() {
  platform::Dialogs& dialogs = Dialogs();
  dialogs.Show(PageItem(layout::kReadyText), false);
  dialogs.Show(PageItem(layout::kReadyHint), false);
  dialogs.Show(PageItem(layout::kInstallingText), true);
  ProgressBar progress(dialogs, PageItem(layout::kInstallProgress));
  dialogs.Show(PageItem(layout::kInstallProgress), true);
  dialogs.Repaint(page_->Handle());
  dialogs.Enable(backButton_, false);
  dialogs.Enable(nextButton_, false);
  dialogs.Enable(cancelButton_, false);
  dialogs.SetCursor(platform::Cursor::Wait);
  // The installation runs here, on the window's own thread; meanwhile the frame keeps
  // painting and takes no input.
  dialogs.SetBusy(Handle(), true);
  const RunReport& report = performInstall_(progress);
  dialogs.SetBusy(Handle(), false);
  dialogs.SetCursor(platform::Cursor::Arrow);

  framework::Application& app = App();
  dialogs.Enable(nextButton_, true);
  dialogs.SetText(nextButton_, app.LoadString(catalogue::kFinishLabel));
  dialogs.Show(PageItem(layout::kInstallingText), false);
  dialogs.Show(PageItem(layout::kInstallProgress), false);
  const platform::WindowHandle runProduct = PageItem(layout::kRunProduct);
  dialogs.SetCheck(runProduct, false);
  // A product that did not arrive whole is not offered to be started.
  dialogs.Show(runProduct, report.Complete());
  ShowOutcome(report);
  dialogs.Show(PageItem(layout::kReadyText), true);
  dialogs.Show(PageItem(layout::kReadyHint), true);
  dialogs.SetFocus(nextButton_);
}

void CSetupDlg::ShowOutcome(const RunReport& report) {
  framework::Application& app = App();
  std::string headline = app.LoadString(catalogue::kInstalled);
  std::string hint = app.LoadString(catalogue::kPressFinish);
  if (!report.Complete()) {
    headline = app.LoadString(catalogue::kNotInstalledCompletely);
    const int files = report.Count(Shortfall::File);
    hint = files > 0
               ? FormatText(app.LoadString(catalogue::kFilesNotCopied),
                            {files, options_.InstallFolder})
               : FormatText(app.LoadString(catalogue::kOtherShortfalls),
                            {report.Count(Shortfall::Folder) + report.Count(Shortfall::Shortcut) +
                             report.Count(Shortfall::RegistryValue) +
                             report.Count(Shortfall::InstalledLog) +
                             report.Count(Shortfall::Uninstaller)});
    hint += ' ';
    hint += report.LogPath().empty()
                ? app.LoadString(catalogue::kRunAgainWithLog)
                : FormatText(app.LoadString(catalogue::kLogNamesFailures), {report.LogPath()});
  } else if (report.NeedsRestart()) {
    headline = app.LoadString(catalogue::kInstalledAfterRestart);
  }
  Dialogs().SetText(PageItem(layout::kReadyText), headline);
  Dialogs().SetText(PageItem(layout::kReadyHint), hint);
}

void CSetupDlg::End(int result) {
  // The page goes while its parent still exists; it is not asked to leave and stores nothing.
  page_.reset();
  EndDialog(result);
}

void CSetupDlg::SetLabels(const std::string& next, const std::string& cancel) {
  Dialogs().SetText(nextButton_, next);
  Dialogs().SetText(cancelButton_, cancel);
}
