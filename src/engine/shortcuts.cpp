#include "engine/shortcuts.h"

#include <utility>

#include "engine/distribution.h"
#include "engine/install_log.h"
#include "engine/paths.h"
#include "engine/shell_folders.h"
#include "engine/text.h"
#include "resources/catalogue.h"

namespace {

// Stored as written: the shell expands it when the shortcut is used.
constexpr char kProductWorkingFolder[] = "%APPDATA%";
constexpr std::size_t kTargetCapacity = 512;

// The program menu the group goes into. An unknown all-users program menu makes the whole run
// a current-user one.
std::string ProgramMenu(platform::Platform& platform, SetupOptions& options) {
  if (options.AllUsers) {
    std::string programs = ShellFolder(platform.registry, true, "Programs");
    if (programs.size() >= 4) {
      return programs;
    }
    options.AllUsers = false;
  }
  return ShellFolder(platform.registry, false, "Programs");
}

// Makes the group folder with each level of a nested group, and records it in the installed
// log. True when the folder is there.
bool MakeGroupFolder(platform::Platform& platform, const std::string& programs,
                     const std::string& group, const std::string& log, RunReport& report) {
  const std::string groupFolder = programs + "\\" + group;
  // A level keeps its separator: Windows trims a last name's trailing dots and blanks but not
  // those of a name inside a path, and the level must be the folder that the group's path
  // passes through.
  ForEachCharacter(platform.system, group, [&](std::size_t at, std::size_t length) {
    if (length == 1 && group[at] == '\\' && at > 0) {
      platform.files.CreateDirectory(programs + "\\" + group.substr(0, at + 1));
    }
  });
  const bool made =
      platform.files.CreateDirectory(groupFolder) || PathExists(platform.files, groupFolder);
  if (!made) {
    report.NotDone(Shortfall::Folder, groupFolder);
  }
  if (!AppendLogLine(platform.files, log,
                     std::string(LogRecordPrefix(LogRecordKind::MadeDir)) + groupFolder)) {
    report.NotDone(Shortfall::InstalledLog, log);
  }
  return made;
}

}  // namespace

std::int32_t CreateShellLink(framework::Application& app, const SetupOptions& options,
                             const std::string& target, const std::string& shortcutPath,
                             const std::optional<std::string>& workingFolder) {
  platform::Platform& platform = app.GetPlatform();
  // The shortcut's path is handed over in its wide form, where a double-byte character is one.
  if (target.size() >= kTargetCapacity ||
      CharacterCount(platform.system, shortcutPath) >= kPathCapacity) {
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

void CreateProductShortcuts(framework::Application& app, SetupOptions& options, RunReport& report) {
  platform::Platform& platform = app.GetPlatform();
  const std::string programs = ProgramMenu(platform, options);
  NormalizeFolderText(platform.system, options.GroupName);
  const std::string groupFolder = programs + "\\" + options.GroupName;
  const std::string log = options.InstallFolder + "\\" + distribution::kManifest;
  const bool groupMade = MakeGroupFolder(platform, programs, options.GroupName, log, report);

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
  for (const auto& [chosen, kind] :
       {std::pair{options.DesktopIcon, "Desktop"}, std::pair{options.Autostart, "Startup"}}) {
    if (chosen) {
      create(product, ShellFolder(platform.registry, options.AllUsers, kind),
             catalogue::kProductName, kProductWorkingFolder);
    }
  }
}
