#include "uninstall/log_replay.h"

#include <string_view>
#include <vector>

#include "engine/helpers.h"
#include "engine/paths.h"
#include "engine/text.h"
#include "uninstall/removal_helpers.h"

namespace {

bool IsFileRecord(LogRecordKind kind) {
  switch (kind) {
    case LogRecordKind::FileCopy:
    case LogRecordKind::FileCopyX64:
    case LogRecordKind::FileCopyInd:
    case LogRecordKind::FileOverwrite:
    case LogRecordKind::FileDel:
      return true;
    case LogRecordKind::MakeDir:
    case LogRecordKind::MadeDir:
    case LogRecordKind::ShellLink:
      break;
  }
  return false;
}

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

bool IsBareDrive(const std::string& folder) {
  return folder.size() == 2 && folder[1] == ':';
}

// The shell's folders that a group's walk up must never take away, even when they are empty:
// the start menu, its programs and startup folders and the desktop, of the user and of all
// users, in lower case without a trailing backslash.
std::vector<std::string> ProtectedShellFolders(platform::Platform& platform) {
  platform::Registry& registry = platform.registry;
  std::vector<std::string> folders;
  for (const char* name : {"Start Menu", "Programs", "Startup", "Desktop"}) {
    const std::string common = std::string("Common ") + name;
    for (const std::string& path :
         {ReadRegistryString(registry, platform::kHkeyCurrentUser, kShellFoldersKey, name),
          ReadRegistryString(registry, platform::kHkeyLocalMachine, kShellFoldersKey, common)}) {
      std::string folder = LowerCase(path);
      while (EndsWithCharacter(platform.system, folder, kSeparators)) {
        folder.pop_back();
      }
      if (!folder.empty()) {
        folders.push_back(folder);
      }
    }
  }
  return folders;
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

}  // namespace

std::string RemovalFileSpec(const std::string& argument) {
  std::string spec = argument.substr(0, argument.find(" | "));
  if (const std::size_t mark = spec.find('>'); mark != std::string::npos) {
    std::size_t start = mark + 1;
    while (start < spec.size() && IsSpace(spec[start])) {
      ++start;
    }
    spec = spec.substr(start);
  }
  // The logs lie in the install folder, which its user may be able to write, while the removal
  // may run with more rights. A record must not reach what an installation never put there.
  return StaysInsideFolder(spec) ? spec : std::string();
}

void ReplayShellRecords(platform::Platform& platform, const std::string& logPath) {
  InstallLog log(platform.files, logPath);
  if (!log.IsOpen()) {
    return;
  }
  while (std::optional<std::string> line = log.ReadLogLine()) {
    const std::optional<LogRecord> record = ParseLogRecord(*line);
    // Attributes stay as they are: a read-only shortcut is not deleted.
    if (record && record->kind == LogRecordKind::ShellLink && IsShortcutFile(record->argument)) {
      platform.files.DeleteFile(record->argument);
    }
  }
  const std::vector<std::string> shellFolders = ProtectedShellFolders(platform);
  log.Rewind();
  while (std::optional<std::string> line = log.ReadLogLine()) {
    const std::optional<LogRecord> record = ParseLogRecord(*line);
    if (!record || record->kind != LogRecordKind::MadeDir) {
      continue;
    }
    std::string folder = record->argument;
    while (!folder.empty() && !IsBareDrive(folder) && !HoldsShellFolder(folder, shellFolders) &&
           platform.files.RemoveDirectory(folder)) {
      folder = ParentFolder(platform.system, folder);
    }
  }
}

void ReplayFileRecords(platform::Platform& platform, const std::string& logPath,
                       const std::string& installFolder, std::optional<LogRecordKind> kind) {
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
      DeleteFilesByPattern(platform, installFolder, spec);
    }
  }
  log.Rewind();
  while (std::optional<std::string> line = log.ReadLogLine()) {
    const std::optional<LogRecord> record = ParseLogRecord(*line);
    if (record && record->kind == LogRecordKind::MakeDir && StaysInsideFolder(record->argument)) {
      platform.files.RemoveDirectory(installFolder + "\\" + record->argument);
    }
  }
}
