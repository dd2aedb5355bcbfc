// The destination folder page: for whom to install, and where.
#pragma once

#include <string>

#include "engine/setup_options.h"
#include "framework/framework.h"
#include "wizard/layout.h"

class CFolderDlg : public framework::CDialog, private platform::BrowseEvents {
 public:
  CFolderDlg(framework::Application& app, SetupOptions& options)
      : CDialog(app, layout::kFolderPage), options_(options) {}

  // Stores the install-for choice; the page never refuses to be left.
  bool DestroyWindow() override;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(framework::DataExchange& exchange) override;
  void OnClicked(int id) override;

 private:
  // The explanatory text: a warning when the folder holds the installation found at start.
  void UpdateFolderHint();
  void Browse();
  void OnBrowserInitialized(platform::WindowHandle browser) override;
  bool OnValidateFailed(platform::WindowHandle browser, const std::string& typed) override;

  SetupOptions& options_;
  std::string savedHint_;
  platform::WindowHandle destination_ = platform::kNoWindow;
  int installFor_ = -1;  // 0 the current user only, 1 all users
};

// The entries of `folder` other than "." and "..", files and folders, hidden ones too; 0 when
// it cannot be listed.
int CountFolderEntries(platform::FileSystem& files, const std::string& folder);
