#pragma once

#include <string>
#include <vector>

#include "app/outcome.h"
#include "engine/setup_options.h"
#include "platform/platform.h"

class CSetupApp;

// The install run: what became of the installation, or Cancelled when the user refused to go
// on or left the wizard. A damaged distribution ends the process with code 1.
Outcome InstallRun(CSetupApp& app);

// The install run's switches (arguments from position 1 on): "-instdir" exactly, with the
// folder after it when that exists; "-runafter", "-allusers", "-autostart", "-nodeskico" in
// any letter case. Returns the "-instdir" candidate, empty when there is none.
std::string ApplyInstallSwitches(platform::Platform& platform,
                                 const std::vector<std::string>& arguments, SetupOptions& options);

// The query of the first "URL=http://" line of an Internet shortcut: from its first "?" to the
// end of the line; empty when the file, the line or the "?" is missing.
std::string HomePageQuery(platform::FileSystem& files, const std::string& path);

// The vendor's page opened after an installation: the install script with the query after a
// new installation that has one, else the page for installed products.
std::string VendorPageAddress(bool newInstall, const std::string& query);
