// The program group page: the start menu group for the shortcuts, and two shortcut options.
#pragma once

#include <string>

#include "engine/setup_options.h"
#include "framework/framework.h"
#include "wizard/layout.h"

class CGroupDlg : public framework::CDialog {
 public:
  CGroupDlg(framework::Application& app, SetupOptions& options)
      : CDialog(app, layout::kGroupPage), options_(options) {}

  // The leave check, for Next and Back alike: refuses a name that is too short or that would
  // put the shortcuts elsewhere than into a group of their own, after saying why.
  bool DestroyWindow() override;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(framework::DataExchange& exchange) override;

 private:
  SetupOptions& options_;
  platform::WindowHandle nameBox_ = platform::kNoWindow;
  int autostart_ = 0;
  int desktopIcon_ = 0;
  std::string groupName_;
};

// The group as the shortcuts will use it: slashes made backslashes and the ends trimmed as the
// engine does, each name without its final dots and blanks as Windows takes it, "." steps
// dropped and ".." steps resolved (one that climbs out of the group stays). Empty for the
// program list itself.
std::string GroupAsUsed(platform::System& system, const std::string& name);
