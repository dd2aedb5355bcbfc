#include "uninstall/uninstall_run.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "engine/deployment.h"
#include "engine/distribution.h"
#include "engine/helpers.h"
#include "engine/paths.h"
#include "engine/registration.h"
#include "engine/text.h"
#include "uninstall/log_replay.h"
#include "uninstall/removal_helpers.h"

namespace {

using platform::RegistryKey;

constexpr char kCompanyKey[] = "SOFTWARE\\Corvantis";
constexpr char kDocumentType[] = "PV6.Document";
constexpr char kProductName[] = "Pictavo 6";
constexpr char kUninstallListKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr char kFileExtsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
constexpr char kPreviousApplication[] = "PictvOld";

// Registry values are read into a buffer of 512 bytes; shortcut and folder paths are formed in
// it and used only while they stay within a path buffer of 260.
constexpr std::size_t kValueBuffer = 512;
constexpr std::size_t kPathCapacity = 260;

// A text value, up to its first zero; empty when it cannot be read or does not fit.
std::optional<std::string> ReadValue(platform::Registry& registry, RegistryKey key,
                                     const std::string& name) {
  platform::RegistryValue value;
  if (registry.QueryValue(key, name, kValueBuffer, value) != platform::kErrorSuccess) {
    return std::nullopt;
  }
  return std::string(std::string_view(value.data.c_str()));
}

std::string ReadText(platform::Registry& registry, RegistryKey key, const std::string& name) {
  return ReadValue(registry, key, name).value_or(std::string());
}

// Calls `action` with every user's key under HKEY_USERS that opens with full access.
template <typename Action>
void ForEachUser(platform::Registry& registry, Action action) {
  std::string sid;
  for (std::uint32_t index = 0;
       registry.EnumKey(platform::kHkeyUsers, index, sid) == platform::kErrorSuccess; ++index) {
    RegistryKey user = 0;
    if (registry.OpenKey(platform::kHkeyUsers, sid, platform::kKeyAllAccess, user) ==
        platform::kErrorSuccess) {
      action(user);
      registry.CloseKey(user);
    }
  }
}

void RemoveProductKeys(platform::Registry& registry, RegistryKey root) {
  DeleteRegistryTree(registry, root, registration::kProductKey);
}

void DeleteSubKey(platform::Registry& registry, const char* parent, const char* name) {
  RegistryKey key = 0;
  if (registry.OpenKey(platform::kHkeyLocalMachine, parent, platform::kKeyAllAccess, key) ==
      platform::kErrorSuccess) {
    registry.DeleteKey(key, name);
    registry.CloseKey(key);
  }
}

// The fixed-name shortcut and group of one set of shell folders.
void RemoveShortcutsIn(platform::Platform& platform, RegistryKey shellFolders, const char* startup,
                       const char* desktop, const char* programs, RunReport& report) {
  const std::string shortcut = std::string("\\") + kProductName + ".lnk";
  for (const char* name : {startup, desktop}) {
    const std::string folder = ReadText(platform.registry, shellFolders, name);
    if (!folder.empty() && folder.size() + shortcut.size() < kPathCapacity &&
        !platform.files.DeleteFile(folder + shortcut) &&
        PathExists(platform.files, folder + shortcut)) {
      report.NotDone(Shortfall::Shortcut, folder + shortcut);
    }
  }
  const std::string groups = ReadText(platform.registry, shellFolders, programs);
  platform.registry.CloseKey(shellFolders);
  const std::string group = groups + "\\" + kProductName + "\\";
  if (!groups.empty() && group.size() < kPathCapacity) {
    DeleteFilesByPattern(platform, group, "*.*", report);
    platform.files.RemoveDirectory(group);
  }
}

// Whether a key of the product is still there after its removal.
void CheckGone(platform::Registry& registry, const char* key, RunReport& report) {
  RegistryKey opened = 0;
  if (registry.OpenKey(platform::kHkeyLocalMachine, key, platform::kKeyRead, opened) ==
      platform::kErrorSuccess) {
    registry.CloseKey(opened);
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
    DeleteKeyIfNoSubkeys(registry, root, kCompanyKey);
  }
  ForEachUser(registry, [&](RegistryKey user) {
    RemoveProductKeys(registry, user);
    DeleteKeyIfNoSubkeys(registry, user, kCompanyKey);
  });
  DeleteRegistryTree(registry, platform::kHkeyClassesRoot, kDocumentType);
}

void RestoreImageAssociations(platform::Platform& platform) {
  platform::Registry& registry = platform.registry;
  // The user's own choices under FileExts, where Explorer keeps them; else the classes' defaults.
  RegistryKey root = 0;
  std::string examined = "Application";
  if (registry.OpenKey(platform::kHkeyCurrentUser, kFileExtsKey, platform::kKeyAllAccess, root) !=
      platform::kErrorSuccess) {
    examined.clear();
    if (registry.OpenKey(platform::kHkeyClassesRoot, "", platform::kKeyAllAccess, root) !=
        platform::kErrorSuccess) {
      return;
    }
  }
  auto namesProduct = [](const std::optional<std::string>& value) {
    return value && value->find(distribution::kProductProgram) != std::string::npos;
  };

  std::array<std::string, ImageExtensionTable.size()> previous;
  for (std::size_t i = 0; i < ImageExtensionTable.size(); ++i) {
    RegistryKey key = 0;
    if (registry.OpenKey(root, ImageExtensionTable[i], platform::kKeyAllAccess, key) !=
        platform::kErrorSuccess) {
      continue;
    }
    if (namesProduct(ReadValue(registry, key, examined))) {
      previous[i] = ReadText(registry, key, kPreviousApplication);
    }
    registry.CloseKey(key);
  }

  bool changed = false;
  for (std::size_t i = 0; i < ImageExtensionTable.size(); ++i) {
    RegistryKey key = 0;
    if (registry.OpenKey(root, ImageExtensionTable[i], platform::kKeyAllAccess, key) !=
        platform::kErrorSuccess) {
      continue;
    }
    if (namesProduct(ReadValue(registry, key, examined))) {
      changed = true;
      if (!previous[i].empty()) {
        registry.SetValue(key, examined, platform::kRegSz,
                          std::string(previous[i].c_str(), previous[i].size() + 1));
      } else {
        registry.DeleteValue(key, examined);
      }
      registry.DeleteValue(key, kPreviousApplication);
    }
    registry.CloseKey(key);
  }
  registry.CloseKey(root);

  if (changed) {
    platform.shell.ChangeNotify(platform::kShellEventAssociationChanged,
                                platform::kShellNotifyIdList);
  }
}

void RemoveFixedShortcuts(platform::Platform& platform, RunReport& report) {
  platform::Registry& registry = platform.registry;
  RegistryKey common = 0;
  if (registry.OpenKey(platform::kHkeyLocalMachine, kShellFoldersKey, platform::kKeyQueryValue,
                       common) == platform::kErrorSuccess) {
    RemoveShortcutsIn(platform, common, "Common Startup", "Common Desktop", "Common Programs",
                      report);
  }
  ForEachUser(registry, [&](RegistryKey user) {
    RegistryKey folders = 0;
    if (registry.OpenKey(user, kShellFoldersKey, platform::kKeyAllAccess, folders) ==
        platform::kErrorSuccess) {
      RemoveShortcutsIn(platform, folders, "Startup", "Desktop", "Programs", report);
    }
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
    DeleteSubKey(platform.registry, kUninstallListKey, kProductName);
    CheckGone(platform.registry, registration::kUninstallKey, report);
  }
}
