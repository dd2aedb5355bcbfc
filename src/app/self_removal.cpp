#include "app/self_removal.h"

#include "app/run_mode.h"
#include "app/setup_app.h"
#include "engine/paths.h"
#include "engine/reboot_operations.h"
#include "engine/text.h"
#include "resources/catalogue.h"
#include "uninstall/uninstall_run.h"

namespace {

constexpr std::size_t kPathCapacity = 260;
// The handing-over uninstaller holds its file until it has ended, which a busy machine may put
// off: its end is waited for this long at most. When it cannot be waited for (it has gone
// already, or cannot be opened), its file is tried this often instead, as long.
constexpr unsigned kHandOverLimit = 10000;
constexpr unsigned kHandOverRetry = 20;

// The runtime joins the arguments with blanks, so a path with a blank or a tab is quoted.
std::string QuotedIfNeeded(const std::string& path) {
  return path.find_first_of(" \t") == std::string::npos ? path : "\"" + path + "\"";
}

// The drive and folder of a path, with the separator behind: C:\Program Files\Pictavo 6\ for
// C:\Program Files\Pictavo 6\PictvUnInst.exe.
std::string FolderOf(platform::System& system, const std::string& path) {
  const std::size_t lastSeparator = FindLastCharacter(system, path, kSeparators);
  if (lastSeparator != std::string::npos) {
    return path.substr(0, lastSeparator + 1);
  }
  return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : std::string();
}

}  // namespace

void HandOverToTempCopy(CSetupApp& app) {
  platform::Platform& platform = app.GetPlatform();
  const std::string tempFolder = platform.files.GetTempPath();
  if (tempFolder.empty() || tempFolder.size() >= kPathCapacity) {
    return;
  }
  const std::string copy = platform.files.GetTempFileName(tempFolder, "uni");
  if (copy.empty()) {
    return;
  }
  const std::string own = ProgramFilePath(platform.process.ModuleFileName());
  platform.files.CopyFile(own, copy, false);

  std::vector<std::string> arguments = {QuotedIfNeeded(copy), "-delself", QuotedIfNeeded(own)};
  if (app.Options().Silent) {
    arguments.push_back("-s");
  }
  platform.process.StartReplacingProcess(copy, arguments);
  // Still here: the copy did not start. Nothing was removed; neither should a stray copy stay.
  platform.files.DeleteFile(copy);
}

void SelfRemovalRun(CSetupApp& app, const std::string& uninstallerPath) {
  platform::Platform& platform = app.GetPlatform();
  unsigned waited = 0;
  const platform::KernelHandle uninstaller =
      platform.session.OpenParentProcess(platform::kSynchronize);
  if (uninstaller != platform::kNoHandle) {
    if (!platform.session.WaitForProcessEnd(uninstaller, kHandOverLimit)) {
      waited = kHandOverLimit;
    }
    platform.session.CloseHandle(uninstaller);
  }
  DeleteAtReboot(platform.files, ProgramFilePath(platform.process.ModuleFileName()));

  const std::string installFolder = FolderOf(platform.system, uninstallerPath);
  for (; !platform.files.DeleteFile(uninstallerPath) &&
         PathExists(platform.files, uninstallerPath) && waited < kHandOverLimit;
       waited += kHandOverRetry) {
    platform.process.Sleep(kHandOverRetry);
  }
  RunUninstall(platform, installFolder);

  if (!app.Options().Silent) {
    app.MessageBox(catalogue::kUninstalled, {platform::Buttons::Ok});
  }
  platform.process.ExitProcess(0);
}
