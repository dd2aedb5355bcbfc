#include "app/perform_install.h"

#include "engine/deployment.h"
#include "engine/distribution.h"
#include "engine/registration.h"
#include "engine/shortcuts.h"
#include "uninstall/log_replay.h"

int PerformInstall(platform::Application& app, SetupOptions& options, const Wow64Query& wow64) {
  platform::Platform& platform = app.GetPlatform();
  const std::string manifest = options.SourceFolder + "\\" + distribution::kManifest;

  // The earlier installed log is read here, before the new one replaces it.
  if (!options.NewInstall) {
    ReplayShellRecords(platform, options.InstallFolder + "\\" + distribution::kOlderLog);
    ReplayShellRecords(platform, options.InstallFolder + "\\" + distribution::kManifest);
    ReplayFileRecords(platform, manifest, options.InstallFolder, LogRecordKind::FileDel);
  }
  DeployManifest(platform, options, wow64, manifest);
  CreateInstalledLog(platform, options);
  // Before registration: the stored all-users choice must match where the shortcuts went.
  CreateProductShortcuts(app, options);
  RegisterProduct(platform, options);
  CopyPresetFiles(platform, options);
  return 0;
}
