// The wizard frame: the side picture, Back, Next and Cancel, and one page at a time, from the
// welcome page to the installation and Finish.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/deployment.h"
#include "engine/run_report.h"
#include "engine/setup_options.h"
#include "framework/framework.h"
#include "wizard/layout.h"

class CSetupDlg : public framework::CDialog {
 public:
  // `performInstall` runs the installation when the user confirms the ready page, telling the
  // page's progress bar how far the files have got, and tells what it did not achieve; the
  // frame ends with kIdOk only after it ran and the user pressed Finish.
  using Installation = std::function<const RunReport&(DeploymentProgress&)>;
  CSetupDlg(framework::Application& app, SetupOptions& options, Installation performInstall)
      : CDialog(app, layout::kFrame),
        options_(options),
        performInstall_(std::move(performInstall)) {}

 protected:
  void DoDataExchange(framework::DataExchange& exchange) override;
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  void OnClicked(int id) override;

 private:
  // The Next step; false when the page on show refused to be left.
  bool Next();
  void ShowPage();
  void Install();
  // The last page's two texts for what the installation achieved.
  void ShowOutcome(const RunReport& report);
  void End(int result);
  void SetLabels(const std::string& next, const std::string& cancel);
  platform::WindowHandle PageItem(int id) { return Dialogs().GetItem(page_->Handle(), id); }

  SetupOptions& options_;
  Installation performInstall_;
  platform::WindowHandle cancelButton_ = platform::kNoWindow;
  platform::WindowHandle sidePicture_ = platform::kNoWindow;
  platform::WindowHandle backButton_ = platform::kNoWindow;
  platform::WindowHandle nextButton_ = platform::kNoWindow;
  int position_ = -1;
  bool agreementFound_ = false;
  std::unique_ptr<framework::CDialog> page_;
  std::string savedCaption_;
  std::string savedNextLabel_;
  std::string savedCancelLabel_;
};
