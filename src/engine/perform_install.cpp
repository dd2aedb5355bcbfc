#include "engine/perform_install.h"

#include "engine/busy_mark.h"
#include "engine/deployment.h"
#include "engine/distribution.h"
#include "engine/log_replay.h"
#include "engine/paths.h"
#include "engine/registration.h"
#include "engine/removal_helpers.h"
#include "engine/shortcuts.h"
#include "engine/text.h"

namespace {

// The uninstaller is a copy of this program: one of another size was cut short (a full disk)
// or is not there. One that waits to replace an uninstaller in use at the next start leaves
// the earlier one, whole, to serve until then.
bool UninstallerInPlace(platform::Platform& platform, const SetupOptions& options,
                        const RunReport& report) {
  const std::string uninstaller = options.InstallFolder + "\\" + distribution::kUninstaller;
  const std::optional<std::uint64_t> size = FileSize(platform.files, uninstaller);
  if (!size || *size == 0) {
    return false;
  }
  for (const std::string& scheduled : report.ScheduledPaths()) {
    if (EqualsIgnoringCase(scheduled, uninstaller)) {
      return true;
    }
  }
  return size == FileSize(platform.files, ProgramFilePath(platform.process.ModuleFileName()));
}

// Takes a new installation's files away again, by the manifest's records; the install folder
// goes only when this run made it.
void RemoveThisRunsFiles(platform::Platform& platform, const SetupOptions& options,
                         const std::string& manifest, bool folderExisted, RunReport& report) {
  const std::string folder = options.InstallFolder + "\\";
  ReplayFileRecords(platform, manifest, folder, std::nullopt, report);
  DeleteFilesByPattern(platform, folder, distribution::kManifest, report);
  if (!folderExisted) {
    platform.files.RemoveDirectory(options.InstallFolder);
  }
}

}  // namespace

void PerformInstall(framework::Application& app, SetupOptions& options, const Wow64Query& wow64,
                    RunReport& report, DeploymentProgress* progress) {
  platform::Platform& platform = app.GetPlatform();
  // From here on another setup must not close this one: it would leave a half installation.
  const BusySetup busy(platform.session);
  const std::string manifest = options.SourceFolder + "\\" + distribution::kManifest;
  const bool folderExisted = PathExists(platform.files, options.InstallFolder);

  // The earlier installed log is read here, before the new one replaces it.
  if (!options.NewInstall) {
    report.Step("clean-up of the earlier installation");
    ReplayShellRecords(platform, options.InstallFolder + "\\" + distribution::kOlderLog, report);
    ReplayShellRecords(platform, options.InstallFolder + "\\" + distribution::kManifest, report);
    ReplayFileRecords(platform, manifest, options.InstallFolder, LogRecordKind::FileDel, report);
    ExtendInstalledLog(platform, options, manifest);
  }
  report.Step("files");
  DeploymentCounter deployed{progress};
  DeployManifest(platform, options, wow64, manifest, report, deployed);
  report.Step("installed log");
  const bool logWhole = CreateInstalledLog(platform, options);
  if (!logWhole) {
    report.NotDone(Shortfall::InstalledLog, options.InstallFolder + "\\" + distribution::kManifest);
  }
  const bool uninstallerWhole = UninstallerInPlace(platform, options, report);
  if (!uninstallerWhole) {
    report.NotDone(Shortfall::Uninstaller,
                   options.InstallFolder + "\\" + distribution::kUninstaller);
  }
  if (!logWhole || !uninstallerWhole) {
    if (options.NewInstall) {
      report.Step("removal of this run's files");
      RemoveThisRunsFiles(platform, options, manifest, folderExisted, report);
    }
    return;
  }
  report.Step("shortcuts");
  // Before registration: the stored all-users choice must match where the shortcuts went.
  CreateProductShortcuts(app, options, report);
  report.Step("registration");
  if (!RegisterProduct(platform, options, deployed.bytesCopied)) {
    report.NotDone(Shortfall::RegistryValue,
                   std::string("HKEY_LOCAL_MACHINE\\") + registration::kUninstallKey);
  }
  report.Step("preset files");
  CopyPresetFiles(platform, options, report);
}
