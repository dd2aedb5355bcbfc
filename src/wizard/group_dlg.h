// The program group page: the start menu group for the shortcuts, and two shortcut options.
#pragma once

#include <string>

#include "engine/setup_options.h"
#include "platform/framework.h"
#include "wizard/layout.h"

class CGroupDlg : public platform::CDialog {
 public:
  CGroupDlg(platform::Application& app, SetupOptions& options)
      : CDialog(app, layout::kGroupPage), options_(options) {}

  // The leave check, for Next and Back alike: refuses a name that is too short or that would
  // put the shortcuts elsewhere than into a group of their own, after saying why.
  bool DestroyWindow() override;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(platform::DataExchange& exchange) override;

 private:
  SetupOptions& options_;
  platform::WindowHandle nameBox_ = platform::kNoWindow;
  int autostart_ = 0;
  int desktopIcon_ = 0;
  std::string groupName_;
};

// The text without blanks, tabs and line breaks at either end, stepping by characters of the
// system's code page: a byte that ends a double-byte character is never taken for a blank.
std::string TrimSpaces(platform::System& system, const std::string& text);

// The last component of a path in lower case; the whole text when it has no backslash.
std::string LastComponentLowerCase(platform::System& system, const std::string& path);

// The group as the shortcuts will use it: slashes made backslashes and the ends trimmed as the
// engine does, each name without its final dots and blanks as Windows takes it, "." steps
// dropped and ".." steps resolved (one that climbs out of the group stays). Empty for the
// program list itself.
std::string GroupAsUsed(platform::System& system, const std::string& name);
