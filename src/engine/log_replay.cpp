#include "engine/log_replay.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "engine/deployment.h"
#include "engine/paths.h"
#include "engine/removal_helpers.h"
#include "engine/shell_folders.h"
#include "engine/text.h"

namespace {

// Only a shortcut may go by a "Shell Link: " record: the older logs' .pif and .url kinds too.
bool IsShortcutFile(const std::string& path) {
  const std::string lowered = LowerCase(path);
  for (std::string_view extension : {".lnk", ".pif", ".url"}) {
    if (lowered.size() > extension.size() &&
        std::string_view(lowered).substr(lowered.size() - extension.size()) == extension) {
      return true;
    }
  }
  return false;
}

// Whether `folder` is one of the shell folders or lies above one.
bool HoldsShellFolder(const std::string& folder, const std::vector<std::string>& shellFolders) {
  const std::string lowered = LowerCase(folder);
  for (const std::string& shellFolder : shellFolders) {
    if (shellFolder == lowered || (shellFolder.size() > lowered.size() &&
                                   shellFolder.compare(0, lowered.size(), lowered) == 0 &&
                                   shellFolder[lowered.size()] == '\\')) {
      return true;
    }
  }
  return false;
}

// Whether `folder` is one of the shell folders under another spelling: a final dot, a short
// name, a substituted drive. Windows resolves them all to the same folder.
bool IsShellFolder(platform::FileSystem& files, const std::string& folder,
                   const std::vector<platform::FileIdentity>& shellFolders) {
  const std::optional<platform::FileIdentity> identity = files.GetFileIdentity(folder);
  return identity &&
         std::find(shellFolders.begin(), shellFolders.end(), *identity) != shellFolders.end();
}

// Whether `path` lies below one of the folders, without climbing back out of it.
bool LiesBelow(const std::string& path, const std::vector<std::string>& folders) {
  const std::string lowered = LowerCase(path);
  for (const std::string& folder : folders) {
    if (lowered.size() > folder.size() + 1 && lowered.compare(0, folder.size(), folder) == 0 &&
        lowered[folder.size()] == '\\' && StaysInsideFolder(lowered.substr(folder.size() + 1))) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::string RemovalFileSpec(const std::string& argument) {
  std::string spec = argument.substr(0, argument.find(" | "));
  if (const std::size_t mark = spec.find('>'); mark != std::string::npos) {
    spec = TrimSpacesAtStart(std::string_view(spec).substr(mark + 1));
  }
  // The logs lie in the install folder, which its user may be able to write, while the removal
  // may run with more rights. A record must not reach what an installation never put there.
  return StaysInsideFolder(spec) ? spec : std::string();
}

void ReplayShellRecords(platform::Platform& platform, const std::string& logPath,
                        RunReport& report) {
  InstallLog log(platform.files, logPath);
  if (!log.IsOpen()) {
    return;
  }
  // The log lies in the install folder, which its user may be able to write, while the removal
  // may run with more rights: a shortcut goes only from the places the installation puts them,
  // a group only from a program menu.
  const std::vector<std::string> shortcutPlaces =
      ShellFoldersOfEveryUser(platform, {"Programs", "Startup", "Desktop"});
  while (std::optional<std::string> line = log.ReadLogLine()) {
    const std::optional<LogRecord> record = ParseLogRecord(*line);
    // Attributes stay as they are: a read-only shortcut is not deleted.
    if (record && record->kind == LogRecordKind::ShellLink && IsShortcutFile(record->argument) &&
        LiesBelow(record->argument, shortcutPlaces) &&
        !platform.files.DeleteFile(record->argument) &&
        PathExists(platform.files, record->argument)) {
      report.NotDone(Shortfall::Shortcut, record->argument);
    }
  }
  const std::vector<std::string> programMenus = ShellFoldersOfEveryUser(platform, {"Programs"});
  const std::vector<std::string> shellFolders =
      ShellFoldersOfEveryUser(platform, {"Start Menu", "Programs", "Startup", "Desktop"});
  std::vector<platform::FileIdentity> shellIdentities;
  for (const std::string& folder : shellFolders) {
    if (const std::optional<platform::FileIdentity> identity =
            platform.files.GetFileIdentity(folder)) {
      shellIdentities.push_back(*identity);
    }
  }
  log.Rewind();
  while (std::optional<std::string> line = log.ReadLogLine()) {
    const std::optional<LogRecord> record = ParseLogRecord(*line);
    if (!record || record->kind != LogRecordKind::MadeDir ||
        !LiesBelow(record->argument, programMenus)) {
      continue;
    }
    std::string folder = record->argument;
    while (!folder.empty() && !IsBareDrive(folder) && !HoldsShellFolder(folder, shellFolders) &&
           !IsShellFolder(platform.files, folder, shellIdentities) &&
           platform.files.RemoveDirectory(folder)) {
      folder = ParentFolder(platform.system, folder);
    }
  }
}

void ReplayFileRecords(platform::Platform& platform, const std::string& logPath,
                       const std::string& installFolder, std::optional<LogRecordKind> kind,
                       RunReport& report) {
  InstallLog log(platform.files, logPath);
  if (!log.IsOpen()) {
    return;
  }
  while (std::optional<std::string> line = log.ReadLogLine()) {
    const std::optional<LogRecord> record = ParseLogRecord(*line);
    if (!record || !IsFileRecord(record->kind) || (kind && record->kind != *kind)) {
      continue;
    }
    const std::string spec = RemovalFileSpec(record->argument);
    if (!spec.empty()) {
      DeleteFilesByPattern(platform, installFolder, spec, report);
      DeleteFilesByPattern(platform, installFolder, spec + kSideCopySuffix, report);
    }
  }
  log.Rewind();
  while (std::optional<std::string> line = log.ReadLogLine()) {
    const std::optional<LogRecord> record = ParseLogRecord(*line);
    if (record && record->kind == LogRecordKind::MakeDir && StaysInsideFolder(record->argument)) {
      const std::string folder = installFolder + "\\" + record->argument;
      // A folder that holds the user's files stays with them; an empty one that would not go
      // now goes at the next start, before the install folder that holds it.
      if (!platform.files.RemoveDirectory(folder) && PathExists(platform.files, folder) &&
          HoldsNothing(platform.files, folder)) {
        DeleteAtNextStart(platform.files, folder, report);
      }
    }
  }
}
