#include "engine/registration.h"

#include <algorithm>

#include "engine/distribution.h"
#include "engine/format_text.h"
#include "engine/registry_values.h"
#include "resources/catalogue.h"

bool RegisterProduct(platform::Platform& platform, const SetupOptions& options,
                     std::uint64_t installedBytes) {
  using namespace registration;
  bool written = true;
  auto write = [&](const char* key, const char* name, const std::string& text) {
    written =
        WriteRegistryString(platform.registry, platform::kHkeyLocalMachine, key, name, text) &&
        written;
  };
  auto writeNumber = [&](const char* key, const char* name, std::uint64_t number) {
    // A size beyond what the value holds shows as the largest it can.
    const auto dword = static_cast<std::uint32_t>(std::min<std::uint64_t>(number, 0xFFFFFFFF));
    written =
        WriteRegistryDword(platform.registry, platform::kHkeyLocalMachine, key, name, dword) &&
        written;
  };
  const std::string& folder = options.InstallFolder;
  // Quoted, as the system runs it as a command line: unquoted, a path with blanks could start
  // another program that lies on the way.
  const std::string uninstaller = "\"" + folder + "\\" + distribution::kUninstaller + "\"";

  write(kProductKey, kAllUsersValue, options.AllUsers ? kAllUsersOn : kAllUsersOff);
  write(kProductKey, kPathValue, folder);

  write(kAppPathKey, "", folder + "\\" + distribution::kProductProgram);

  const FileVersion& version = options.NewVersion;
  write(kUninstallKey, "Contact", "Support");
  write(kUninstallKey, "DisplayName", platform.ui.LoadString(catalogue::kProductName));
  write(kUninstallKey, "DisplayVersion",
        FormatText("%d.%02d.%02d", {version.major, version.minor, version.build}));
  write(kUninstallKey, "Publisher", kPublisher);
  write(kUninstallKey, "UninstallString", uninstaller);
  write(kUninstallKey, "URLInfoAbout", vendor::kSite);
  write(kUninstallKey, "QuietUninstallString", uninstaller + " " + kSilentSwitch);
  write(kUninstallKey, "InstallLocation", folder);
  // The icon by its index in the program file, after a quoted path as the shell reads it.
  write(kUninstallKey, "DisplayIcon",
        "\"" + folder + "\\" + distribution::kProductProgram + "\",0");
  writeNumber(kUninstallKey, "EstimatedSize", (installedBytes + 1023) / 1024);
  // The uninstaller knows no change or repair of an installation: the list offers removal only.
  writeNumber(kUninstallKey, "NoModify", 1);
  writeNumber(kUninstallKey, "NoRepair", 1);
  return written;
}
