#include "engine/registration.h"

#include "engine/distribution.h"
#include "engine/format_text.h"
#include "engine/helpers.h"
#include "resources/catalogue.h"

bool RegisterProduct(platform::Platform& platform, const SetupOptions& options) {
  using namespace registration;
  bool written = true;
  auto write = [&](const char* key, const char* name, const std::string& text) {
    written =
        WriteRegistryString(platform.registry, platform::kHkeyLocalMachine, key, name, text) &&
        written;
  };
  const std::string& folder = options.InstallFolder;

  write(kProductKey, kAllUsersValue, options.AllUsers ? kAllUsersOn : kAllUsersOff);
  write(kProductKey, kPathValue, folder);

  write(kAppPathKey, "", folder + "\\" + distribution::kProductProgram);

  const FileVersion& version = options.NewVersion;
  write(kUninstallKey, "Contact", "Support");
  write(kUninstallKey, "DisplayName", platform.ui.LoadString(catalogue::kProductName));
  write(kUninstallKey, "DisplayVersion",
        FormatText("%d.%02d.%02d", {version.major, version.minor, version.build}));
  write(kUninstallKey, "Publisher", kPublisher);
  // Quoted, as the system runs it as a command line: unquoted, a path with blanks could start
  // another program that lies on the way.
  write(kUninstallKey, "UninstallString", "\"" + folder + "\\" + distribution::kUninstaller + "\"");
  write(kUninstallKey, "URLInfoAbout", vendor::kSite);
  return written;
}
