#include "uninstall/uninstall_run.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "engine/deployment.h"
#include "engine/distribution.h"
#include "engine/log_replay.h"
#include "engine/paths.h"
#include "engine/registration.h"
#include "engine/registry_values.h"
#include "engine/removal_helpers.h"
#include "engine/shell_folders.h"
#include "engine/text.h"

namespace {

using platform::RegistryKey;

constexpr char kDocumentType[] = "PV6.Document";
constexpr char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr char kFileExtsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
constexpr char kPreviousApplication[] = "PictvOld";

void RemoveProductKeys(platform::Registry& registry, RegistryKey root) {
  DeleteRegistryTree(registry, root, registration::kProductKey);
}

void DeleteSubKey(platform::Registry& registry, const char* parent, const char* name) {
  if (const OpenedKey key =
          OpenedKey::Open(registry, platform::kHkeyLocalMachine, parent, platform::kKeyAllAccess)) {
    registry.DeleteKey(key.Key(), name);
  }
}

// The fixed-name shortcut and group of the shell folders that `root` names.
void RemoveShortcutsIn(platform::Platform& platform, RegistryKey root, const char* startup,
                       const char* desktop, const char* programs, RunReport& report) {
  const std::string shortcut = std::string("\\") + distribution::kProductFolder + ".lnk";
  for (const char* name : {startup, desktop}) {
    const std::string folder = ReadShellFolder(platform.registry, root, name);
    if (!folder.empty() && folder.size() + shortcut.size() < kPathCapacity &&
        !platform.files.DeleteFile(folder + shortcut) &&
        PathExists(platform.files, folder + shortcut)) {
      report.NotDone(Shortfall::Shortcut, folder + shortcut);
    }
  }
  const std::string groups = ReadShellFolder(platform.registry, root, programs);
  const std::string group = groups + "\\" + distribution::kProductFolder + "\\";
  if (!groups.empty() && group.size() < kPathCapacity) {
    DeleteFilesByPattern(platform, group, "*.*", report);
    platform.files.RemoveDirectory(group);
  }
}

using ImageApplications = std::array<std::string, ImageExtensionTable.size()>;

bool NamesProduct(const std::optional<std::string>& value) {
  return value && value->find(distribution::kProductProgram) != std::string::npos;
}

// The application each image type had before the product took it over, where the product holds
// it now: all are read before any is put back.
ImageApplications PreviousApplications(platform::Registry& registry, RegistryKey root,
                                       const std::string& examined) {
  ImageApplications previous;
  for (std::size_t i = 0; i < ImageExtensionTable.size(); ++i) {
    const OpenedKey key =
        OpenedKey::Open(registry, root, ImageExtensionTable[i], platform::kKeyAllAccess);
    if (key && NamesProduct(ReadRegistryText(registry, key.Key(), examined))) {
      previous[i] =
          ReadRegistryText(registry, key.Key(), kPreviousApplication).value_or(std::string());
    }
  }
  return previous;
}

// Gives each image type the product holds its previous application back, or none. True when
// some type changed.
bool PutBackPreviousApplications(platform::Registry& registry, RegistryKey root,
                                 const std::string& examined, const ImageApplications& previous) {
  bool changed = false;
  for (std::size_t i = 0; i < ImageExtensionTable.size(); ++i) {
    const OpenedKey key =
        OpenedKey::Open(registry, root, ImageExtensionTable[i], platform::kKeyAllAccess);
    if (!key || !NamesProduct(ReadRegistryText(registry, key.Key(), examined))) {
      continue;
    }
    changed = true;
    if (!previous[i].empty()) {
      registry.SetValue(key.Key(), examined, platform::kRegSz,
                        std::string(previous[i].c_str(), previous[i].size() + 1));
    } else {
      registry.DeleteValue(key.Key(), examined);
    }
    registry.DeleteValue(key.Key(), kPreviousApplication);
  }
  return changed;
}

// Whether a key of the product is still there after its removal.
void CheckGone(platform::Registry& registry, const char* key, RunReport& report) {
  if (OpenedKey::Open(registry, platform::kHkeyLocalMachine, key, platform::kKeyRead)) {
    report.NotDone(Shortfall::RegistryValue, std::string("HKEY_LOCAL_MACHINE\\") + key);
  }
}

// The folders that hold a file left to the next start go then too, each once it is empty: the
// deepest first, since the start carries the operations out in order.
void RemoveHoldingFoldersAtNextStart(platform::Platform& platform, const std::string& installFolder,
                                     RunReport& report) {
  const std::string root = installFolder.substr(0, installFolder.size() - 1);
  // A drive's root is no folder of the product's.
  if (root.size() <= 2) {
    return;
  }
  std::vector<std::string> deepestFirst;
  for (const std::string& path : report.ScheduledPaths()) {
    if (path.size() <= installFolder.size() ||
        !EqualsIgnoringCase(std::string_view(path).substr(0, installFolder.size()),
                            installFolder)) {
      continue;
    }
    for (std::string folder = ParentFolder(platform.system, path);
         folder.size() >= root.size() &&
         std::find(deepestFirst.begin(), deepestFirst.end(), folder) == deepestFirst.end();
         folder = ParentFolder(platform.system, folder)) {
      deepestFirst.insert(
          std::find_if(deepestFirst.begin(), deepestFirst.end(),
                       [&](const std::string& other) { return other.size() < folder.size(); }),
          folder);
    }
  }
  for (const std::string& folder : deepestFirst) {
    if (PathExists(platform.files, folder)) {
      DeleteAtNextStart(platform.files, folder, report);
    }
  }
}

}  // namespace

void RemoveProductRegistry(platform::Registry& registry) {
  // A setup finds the installation by the product key's Path, else by the application path.
  // That one goes first: a removal cut short in between leaves the product key, and with it the
  // installation's own choices (all users or not) for the setup run again.
  DeleteSubKey(registry, kAppPathsKey, distribution::kProductProgram);
  for (RegistryKey root : {platform::kHkeyLocalMachine, platform::kHkeyCurrentUser}) {
    RemoveProductKeys(registry, root);
  }
  for (RegistryKey root : {platform::kHkeyLocalMachine, platform::kHkeyCurrentUser}) {
    DeleteKeyIfNoSubkeys(registry, root, registration::kCompanyKey);
  }
  ForEachLoadedUser(registry, platform::kKeyAllAccess, [&](RegistryKey user) {
    RemoveProductKeys(registry, user);
    DeleteKeyIfNoSubkeys(registry, user, registration::kCompanyKey);
  });
  DeleteRegistryTree(registry, platform::kHkeyClassesRoot, kDocumentType);
}

void RestoreImageAssociations(platform::Platform& platform) {
  platform::Registry& registry = platform.registry;
  // The user's own choices under FileExts, where Explorer keeps them, by their "Application"
  // value; else the classes' defaults, by their default value.
  OpenedKey userChoices =
      OpenedKey::Open(registry, platform::kHkeyCurrentUser, kFileExtsKey, platform::kKeyAllAccess);
  const bool own = static_cast<bool>(userChoices);
  const OpenedKey root =
      own ? std::move(userChoices)
          : OpenedKey::Open(registry, platform::kHkeyClassesRoot, "", platform::kKeyAllAccess);
  if (!root) {
    return;
  }
  const std::string examined = own ? "Application" : "";
  const ImageApplications previous = PreviousApplications(registry, root.Key(), examined);
  if (PutBackPreviousApplications(registry, root.Key(), examined, previous)) {
    platform.shell.ChangeNotify(platform::kShellEventAssociationChanged,
                                platform::kShellNotifyIdList);
  }
}

void RemoveFixedShortcuts(platform::Platform& platform, RunReport& report) {
  platform::Registry& registry = platform.registry;
  RemoveShortcutsIn(platform, platform::kHkeyLocalMachine, "Common Startup", "Common Desktop",
                    "Common Programs", report);
  ForEachLoadedUser(registry, platform::kKeyAllAccess, [&](RegistryKey user) {
    RemoveShortcutsIn(platform, user, "Startup", "Desktop", "Programs", report);
  });
}

void RunUninstall(platform::Platform& platform, const std::string& installFolder,
                  RunReport& report) {
  report.Step("registry");
  RemoveProductRegistry(platform.registry);
  for (const char* key : {registration::kProductKey, registration::kAppPathKey}) {
    CheckGone(platform.registry, key, report);
  }
  report.Step("file associations");
  RestoreImageAssociations(platform);

  report.Step("logged shortcuts and files");
  const std::string olderLog = installFolder + distribution::kOlderLog;
  const std::string installedLog = installFolder + distribution::kManifest;
  ReplayShellRecords(platform, olderLog, report);
  ReplayShellRecords(platform, installedLog, report);
  ReplayFileRecords(platform, olderLog, installFolder, std::nullopt, report);
  ReplayFileRecords(platform, installedLog, installFolder, std::nullopt, report);

  // "install.log" is not deleted by name: it goes only if a log lists it.
  DeleteFilesByPattern(platform, installFolder, distribution::kManifest, report);
  DeleteFilesByPattern(platform, installFolder,
                       std::string(distribution::kManifest) + kSideCopySuffix, report);

  report.Step("install folder");
  // The process may stand in the folder; it must leave before the folder can go.
  platform.files.SetCurrentDirectory("\\");
  // A spared uninstaller still lies in the folder: the process that deletes it removes the
  // folder after it, unless something in it waits for the next start.
  if (report.SparesAFile() || !platform.files.RemoveDirectory(installFolder)) {
    RemoveHoldingFoldersAtNextStart(platform, installFolder, report);
    // Empty, yet refused now: it goes at the next start all the same.
    const std::string folder = installFolder.substr(0, installFolder.size() - 1);
    if (!report.SparesAFile() && PathExists(platform.files, folder) &&
        HoldsNothing(platform.files, folder)) {
      DeleteAtNextStart(platform.files, folder, report);
    }
  }

  report.Step("shortcuts of every user");
  RemoveFixedShortcuts(platform, report);

  // The entry goes last, and only with everything else: while anything of the product is
  // left, the entry and the uninstaller it runs stay, so that the user can try again.
  if (report.Complete()) {
    report.Step("uninstall entry");
    DeleteSubKey(platform.registry, registration::kUninstallListKey, registration::kUninstallEntry);
    CheckGone(platform.registry, registration::kUninstallKey, report);
  }
}
