#pragma once

#include <string>

#include "app/command_line.h"
#include "app/outcome.h"
#include "engine/setup_options.h"
#include "platform/platform.h"

class CSetupApp;

// The install run: what became of the installation, or Cancelled when the user refused to go
// on or left the wizard. A damaged distribution ends the process with code 1.
Outcome InstallRun(CSetupApp& app);

// Sets the options that the install switches ask for. The folder of "-instdir" replaces the one
// chosen so far only when it exists, without a separator behind.
void ApplyInstallSwitches(platform::Platform& platform, const InstallSwitches& asked,
                          SetupOptions& options);

// The query of the first "URL=http://" line of an Internet shortcut: from its first "?" to the
// end of the line; empty when the file, the line or the "?" is missing.
std::string HomePageQuery(platform::FileSystem& files, const std::string& path);

// The vendor's page opened after an installation: the install script with the query after a
// new installation that has one, else the page for installed products.
std::string VendorPageAddress(bool newInstall, const std::string& query);
