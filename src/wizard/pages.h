// The wizard's pages without choices of their own: welcome, agreement, ready to install.
#pragma once

#include <string>

#include "engine/setup_options.h"
#include "framework/framework.h"
#include "wizard/layout.h"

// The welcome page: the version being installed, filled into the layout's template.
class CIntoDlg : public framework::CDialog {
 public:
  CIntoDlg(framework::Application& app, const SetupOptions& options)
      : CDialog(app, layout::kWelcomePage), options_(options) {}

 protected:
  bool OnInitDialog() override;

 private:
  const SetupOptions& options_;
};

// The agreement page: "agreement.txt" of the distribution folder, shown from its beginning. It
// places and shows itself; the frame's Yes button accepts.
class CAgreementDlg : public framework::CDialog {
 public:
  CAgreementDlg(framework::Application& app, const SetupOptions& options)
      : CDialog(app, layout::kAgreementPage), options_(options) {}

  // Whether there is an agreement to accept: without one the page says that it is missing,
  // and the frame does not let the user accept it.
  bool HasAgreement() const { return found_; }

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(framework::DataExchange& exchange) override;

 private:
  const SetupOptions& options_;
  std::string text_;
  bool found_ = false;
};

// The ready page, which the frame turns into the closing page after the installation.
class CStartDlg : public framework::CDialog {
 public:
  explicit CStartDlg(framework::Application& app) : CDialog(app, layout::kReadyPage) {}
};

// The first line of the welcome page's template filled for `version`: "Beta n" follows the
// build number when the revision is not 0.
std::string VersionText(const std::string& format, const FileVersion& version);
