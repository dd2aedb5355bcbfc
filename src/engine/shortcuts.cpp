#include "engine/shortcuts.h"

#include "engine/distribution.h"
#include "engine/helpers.h"
#include "engine/install_log.h"
#include "engine/paths.h"
#include "engine/text.h"
#include "resources/catalogue.h"

namespace {

// Stored as written: the shell expands it when the shortcut is used.
constexpr char kProductWorkingFolder[] = "%APPDATA%";
constexpr std::size_t kTargetCapacity = 512;
constexpr std::size_t kShortcutPathCapacity = 260;

std::string ShellFolder(platform::Platform& platform, bool allUsers, const char* common,
                        const char* own) {
  return ReadRegistryString(platform.registry,
                            allUsers ? platform::kHkeyLocalMachine : platform::kHkeyCurrentUser,
                            kShellFoldersKey, allUsers ? common : own);
}

}  // namespace

std::int32_t CreateShellLink(platform::Application& app, const SetupOptions& options,
                             const std::string& target, const std::string& shortcutPath,
                             const std::optional<std::string>& workingFolder) {
  platform::Platform& platform = app.GetPlatform();
  // The shortcut's path is handed over in its wide form, where a double-byte character is one.
  if (target.size() >= kTargetCapacity ||
      CharacterCount(platform.system, shortcutPath) >= kShortcutPathCapacity) {
    return kShortcutFailed;
  }
  std::unique_ptr<platform::ShellLink> link = platform.shell.CreateShellLink();
  if (!link) {
    return kShortcutFailed;
  }
  std::string path = target;
  if (!path.empty() && path.front() == '"') {
    path.erase(0, 1);
  }
  if (!path.empty() && path.back() == '"') {
    path.pop_back();
  }
  // Neither failure stops the shortcut from being saved. A silent run has nobody to confirm a
  // box, and a deployment tool would wait for ever: its log names the failed call instead.
  if (!link->SetPath(path) && !options.Silent) {
    app.MessageBox("SetPath failed!", {platform::Buttons::Ok});
  }
  if (!link->SetDescription("") && !options.Silent) {
    app.MessageBox("SetDescription failed!", {platform::Buttons::Ok});
  }
  if (workingFolder) {
    link->SetWorkingDirectory(*workingFolder);
  }
  if (!link->Save(shortcutPath)) {
    return kShortcutFailed;
  }
  const bool logged =
      AppendLogLine(platform.files, options.InstallFolder + "\\" + distribution::kManifest,
                    std::string(LogRecordPrefix(LogRecordKind::ShellLink)) + shortcutPath);
  return logged ? kShortcutSaved : kShortcutSavedUnlogged;
}

void CreateProductShortcuts(platform::Application& app, SetupOptions& options, RunReport& report) {
  platform::Platform& platform = app.GetPlatform();
  std::string programs;
  if (options.AllUsers) {
    programs = ShellFolder(platform, true, "Common Programs", "Programs");
    // The all-users program menu is unknown: the whole run becomes a current-user one.
    if (programs.size() < 4) {
      options.AllUsers = false;
    }
  }
  if (!options.AllUsers) {
    programs = ShellFolder(platform, false, "Common Programs", "Programs");
  }

  NormalizeFolderText(platform.system, options.GroupName);
  const std::string& group = options.GroupName;
  // Each level of a nested group first; stepping by ANSI characters, so that the second byte
  // of a double-byte character is never taken for a level's end. A level keeps its separator:
  // Windows trims a last name's trailing dots and blanks but not those of a name inside a path,
  // and the level must be the folder that the group's path passes through.
  for (std::size_t i = 0; i < group.size(); ++i) {
    if (platform.system.IsDBCSLeadByte(static_cast<unsigned char>(group[i])) &&
        i + 1 < group.size()) {
      ++i;
    } else if (group[i] == '\\' && i > 0) {
      platform.files.CreateDirectory(programs + "\\" + group.substr(0, i + 1));
    }
  }
  const std::string groupFolder = programs + "\\" + group;
  const bool groupMade =
      platform.files.CreateDirectory(groupFolder) || PathExists(platform.files, groupFolder);
  if (!groupMade) {
    report.NotDone(Shortfall::Folder, groupFolder);
  }
  const std::string log = options.InstallFolder + "\\" + distribution::kManifest;
  if (!AppendLogLine(platform.files, log,
                     std::string(LogRecordPrefix(LogRecordKind::MadeDir)) + groupFolder)) {
    report.NotDone(Shortfall::InstalledLog, log);
  }

  const std::string folder = options.InstallFolder + "\\";
  const std::string product = folder + distribution::kProductProgram;
  auto create = [&](const std::string& target, const std::string& place, unsigned nameId,
                    const std::optional<std::string>& workingFolder) {
    const std::string path = place + "\\" + app.LoadString(nameId) + ".lnk";
    const std::int32_t result = CreateShellLink(app, options, target, path, workingFolder);
    if (result < 0) {
      report.NotDone(Shortfall::Shortcut, path);
    } else if (result == kShortcutSavedUnlogged) {
      report.NotDone(Shortfall::InstalledLog, log);
    }
  };
  if (groupMade) {
    create(product, groupFolder, catalogue::kProductName, kProductWorkingFolder);
    create(folder + distribution::kHelpFile, groupFolder, catalogue::kHelpShortcut, std::nullopt);
    create(folder + distribution::kReadme, groupFolder, catalogue::kReadmeShortcut, std::nullopt);
    create(folder + distribution::kUninstaller, groupFolder, catalogue::kUninstallShortcut,
           std::nullopt);
  }
  if (options.DesktopIcon) {
    create(product, ShellFolder(platform, options.AllUsers, "Common Desktop", "Desktop"),
           catalogue::kProductName, kProductWorkingFolder);
  }
  if (options.Autostart) {
    create(product, ShellFolder(platform, options.AllUsers, "Common Startup", "Startup"),
           catalogue::kProductName, kProductWorkingFolder);
  }
}
