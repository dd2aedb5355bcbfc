#include "engine/deployment.h"

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/distribution.h"
#include "engine/install_log.h"
#include "engine/paths.h"
#include "engine/reboot_operations.h"
#include "engine/text.h"

namespace {

constexpr char kOldSuffix[] = ".old";
constexpr char kSecondOldSuffix[] = ".old2";
constexpr char kHiddenSuffix[] = ".toinst";

bool IsFileAttributes(std::uint32_t attributes) {
  return attributes != platform::kInvalidFileAttributes &&
         (attributes & platform::kAttributeDirectory) == 0;
}

bool Rename(platform::FileSystem& files, const std::string& from, const std::string& to) {
  return files.MoveFileEx(from, to, 0);
}

bool CopyOver(platform::FileSystem& files, const std::string& source, const std::string& target) {
  return files.CopyFile(source, target, false);
}

// Whether two paths name the same file as far as their text shows: letter case, either
// separator, doubled separators, "." and ".." steps. Copying a file onto itself deletes it
// first, so this errs towards "the same".
bool SamePath(platform::System& system, const std::string& a, const std::string& b) {
  const auto steps = [&](const std::string& path) {
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start <= path.size()) {
      std::size_t end = FindCharacter(system, path, kSeparators, start);
      if (end == std::string::npos) {
        end = path.size();
      }
      const std::string step = LowerCase(path.substr(start, end - start));
      if (step == "..") {
        if (!result.empty()) {
          result.pop_back();
        }
      } else if (!step.empty() && step != ".") {
        result.push_back(step);
      }
      start = end + 1;
    }
    return result;
  };
  return steps(a) == steps(b);
}

// Whether two existing paths name one file whatever their spelling: the install folder reached
// through its short name, a substituted drive, a junction or a share.
bool SameFile(platform::FileSystem& files, const std::string& a, const std::string& b) {
  const std::optional<platform::FileIdentity> first = files.GetFileIdentity(a);
  return first && first == files.GetFileIdentity(b);
}

// The two halves of a rename-form spec, split at the first ">".
struct RenameSpec {
  std::string fileName;
  std::string targetName;
};

std::optional<RenameSpec> SplitRename(const std::string& spec) {
  const std::size_t mark = spec.find('>');
  if (mark == std::string::npos) {
    return std::nullopt;
  }
  return RenameSpec{TrimSpacesAtEnd(std::string_view(spec).substr(0, mark)),
                    TrimSpacesAtStart(std::string_view(spec).substr(mark + 1))};
}

// The manifest comes with the distribution, which may lie where others can write; nothing it
// says may put a file beside or above the install folder.
bool TargetStaysInside(const std::string& spec) {
  const std::optional<RenameSpec> rename = SplitRename(spec);
  return StaysInsideFolder(rename ? rename->targetName : spec);
}

// Whether the system can load the library that an "ind" record would otherwise install. The
// distribution's own copy is hidden meanwhile, so that only a copy the system has counts.
bool SystemHasLibrary(platform::Platform& platform, const SetupOptions& options,
                      const std::string& spec) {
  const std::optional<RenameSpec> rename = SplitRename(spec);
  const std::string name = rename ? rename->fileName : spec;
  const std::string sourcePath = CompleteFolder(platform.system, options.SourceFolder) + name;
  // It comes back under the name it had, which the record may spell in another letter case: a
  // rename takes the case of the name it is given.
  const std::vector<platform::FoundFile> found = platform.files.FindFiles(sourcePath);
  const std::string ownPath =
      found.size() == 1 ? FolderOf(platform.system, sourcePath) + found.front().name : sourcePath;
  const std::string hiddenPath = sourcePath + kHiddenSuffix;
  Rename(platform.files, sourcePath, hiddenPath);
  const bool loaded = platform.process.CanLoadLibrary(name);
  Rename(platform.files, hiddenPath, ownPath);
  return loaded;
}

// The library name is also used to hide the distribution's copy for a moment; a name reaching
// outside the distribution folder would have the setup rename someone else's file.
bool LibraryNameStaysInside(const std::string& spec) {
  const std::optional<RenameSpec> rename = SplitRename(spec);
  return StaysInsideFolder(rename ? rename->fileName : spec);
}

// Whether this machine deploys a copy record at all: an x64 one on 64-bit Windows only, and
// none whose target, or whose library name for an "ind" record, reaches outside its folder.
bool TakesCopyRecord(LogRecordKind kind, const std::string& spec, bool sixtyFourBit) {
  switch (kind) {
    case LogRecordKind::FileCopy:
      return TargetStaysInside(spec);
    case LogRecordKind::FileCopyX64:
      return sixtyFourBit && TargetStaysInside(spec);
    case LogRecordKind::FileCopyInd:
      return TargetStaysInside(spec) && LibraryNameStaysInside(spec);
    default:
      return false;
  }
}

// The files a copy record takes in hand, by the search its deployment makes: every match of a
// pattern but "." and "..", folders too (each ends the pattern as a failure); the source of a
// rename form when something of that name is there.
int FilesOfRecord(platform::Platform& platform, const SetupOptions& options,
                  const std::string& spec) {
  const std::string source = CompleteFolder(platform.system, options.SourceFolder);
  if (const std::optional<RenameSpec> rename = SplitRename(spec)) {
    return PathExists(platform.files, source + rename->fileName) ? 1 : 0;
  }
  int files = 0;
  for (const platform::FoundFile& entry : platform.files.FindFiles(source + spec)) {
    files += entry.name != "." && entry.name != ".." ? 1 : 0;
  }
  return files;
}

// What became of one file.
enum class CopyResult {
  Copied,    // the target holds the file now
  Deferred,  // the target is in use: the file replaces it at the next start
  Failed,
  NoSource,  // the distribution does not hold it: nothing was asked of the target
};

// The rungs of replacing a file in use, each taken when the one before could not be.

// The installed file is never taken away before its replacement is whole: the new one is
// copied beside it and takes its place in one rename. A stop at any moment thus leaves the old
// file or the new one, never neither, and never a half copy under the file's name; a side copy
// left by a stop is overwritten by the next run or deleted by the removal.
bool ReplaceInOneRename(platform::FileSystem& files, const std::string& newPath,
                        const std::string& targetPath) {
  const std::uint32_t targetAttributes = files.GetFileAttributes(targetPath);
  files.SetFileAttributes(
      targetPath,
      targetAttributes & ~std::uint32_t{platform::kAttributeReadOnly | platform::kAttributeHidden});
  return files.MoveFileEx(newPath, targetPath, platform::kMoveFileReplaceExisting);
}

// In use: a file that can still be renamed is set aside and goes at the next start. True when
// it was set aside.
bool SetInUseFileAside(platform::FileSystem& files, const std::string& targetPath) {
  std::string oldPath = targetPath + kOldSuffix;
  if (PathExists(files, oldPath) && !files.DeleteFile(oldPath)) {
    DeleteAtReboot(files, oldPath);
    oldPath = targetPath + kSecondOldSuffix;
    files.DeleteFile(oldPath);
  }
  if (!Rename(files, targetPath, oldPath)) {
    return false;
  }
  DeleteAtReboot(files, oldPath);
  return true;
}

// Neither deletable nor renamable: the new file waits beside it for the next start. The old one
// is only given up once its replacement is in place, so that a failed copy never leaves the
// product without the file after the restart. Recorded in this order: the start carries them
// out in order, and a rename does not replace a file in its way.
CopyResult ReplaceAtNextStart(platform::FileSystem& files, const std::string& sourcePath,
                              const std::string& newPath, const std::string& targetPath) {
  const bool scheduled =
      DeleteAtReboot(files, targetPath) && RenameAtReboot(files, newPath, targetPath);
  if (CopyOver(files, sourcePath, targetPath)) {
    return CopyResult::Copied;
  }
  return scheduled ? CopyResult::Deferred : CopyResult::Failed;
}

CopyResult ReplaceExistingFile(platform::FileSystem& files, const std::string& sourcePath,
                               const std::string& targetPath) {
  const std::string newPath = targetPath + kSideCopySuffix;
  if (!CopyOver(files, sourcePath, newPath)) {
    files.DeleteFile(newPath);  // what a full disk let through
    return CopyResult::Failed;
  }
  if (ReplaceInOneRename(files, newPath, targetPath)) {
    return CopyResult::Copied;
  }
  if (SetInUseFileAside(files, targetPath)) {
    return Rename(files, newPath, targetPath) ? CopyResult::Copied : CopyResult::Failed;
  }
  return ReplaceAtNextStart(files, sourcePath, newPath, targetPath);
}

// After a copy that leaves an existing target alone was refused: the target may be the source
// under another spelling, missing (then the refusal stands), or in the way.
CopyResult CopyOverRefusal(platform::FileSystem& files, const std::string& sourcePath,
                           const std::string& targetPath, bool sameFolder) {
  const bool targetExists = PathExists(files, targetPath);
  if (targetExists && SameFile(files, sourcePath, targetPath)) {
    return CopyResult::Copied;
  }
  if (sameFolder && targetExists && !files.DeleteFile(targetPath)) {
    return CopyResult::Copied;
  }
  // No target in the way: the copy refused was this very copy, and what refused it refuses
  // again.
  if (!targetExists) {
    return CopyResult::Failed;
  }
  return ReplaceExistingFile(files, sourcePath, targetPath);
}

// CopyInstallFile, where a search may have told the source's attributes already.
CopyResult DeployFile(platform::Platform& platform, const std::string& fileName,
                      const std::string& sourceFolder, const std::string& targetFolder,
                      const std::optional<std::string>& targetName,
                      std::optional<std::uint32_t> sourceAttributes) {
  platform::FileSystem& files = platform.files;
  const std::string source = CompleteFolder(platform.system, sourceFolder);
  const std::string target = CompleteFolder(platform.system, targetFolder);
  const bool sameFolder = EqualsIgnoringCase(source, target);
  if (sameFolder && !targetName) {
    return CopyResult::Copied;
  }
  const std::string sourcePath = source + fileName;
  const std::uint32_t attributes =
      sourceAttributes ? *sourceAttributes : files.GetFileAttributes(sourcePath);
  if (attributes == platform::kInvalidFileAttributes) {
    return CopyResult::NoSource;
  }
  // A folder is no file to copy; going on would set a same-named target folder aside.
  if (!IsFileAttributes(attributes)) {
    return CopyResult::Failed;
  }
  const std::string targetPath = target + (targetName ? *targetName : fileName);
  // The source itself, under another spelling: deleting the target below would delete the
  // only copy.
  if (SamePath(platform.system, sourcePath, targetPath)) {
    return CopyResult::Copied;
  }
  // Most targets are new: a copy that leaves an existing target alone settles them in one
  // call, and only a refusal takes the steps that look again.
  if (files.CopyFile(sourcePath, targetPath, true)) {
    return CopyResult::Copied;
  }
  return CopyOverRefusal(files, sourcePath, targetPath, sameFolder);
}

// The bytes a file's copy put in place, now or at the next start.
std::uint64_t BytesInPlace(CopyResult result, std::uint64_t size) {
  return result == CopyResult::Copied || result == CopyResult::Deferred ? size : 0;
}

// Tells the report what a file's copy left undone.
void Report(CopyResult result, const std::string& targetPath, RunReport& report) {
  if (result == CopyResult::Deferred) {
    report.AtNextStart(targetPath);
  } else if (result == CopyResult::Failed) {
    report.NotDone(Shortfall::File, targetPath);
  }
}

// CopyInstallFiles, telling the report of each file it could not copy. A file that replaces
// one in use at the next start does not end the pattern: the files after it are as much part
// of the product.
int CopyPattern(platform::Platform& platform, const std::string& pattern,
                const std::string& targetFolder, const std::string& sourceFolder, RunReport& report,
                DeploymentCounter* counter = nullptr) {
  platform::FileSystem& files = platform.files;
  const std::string searchPath = CompleteFolder(platform.system, sourceFolder) + pattern;
  const std::vector<platform::FoundFile> found = files.FindFiles(searchPath);
  if (found.empty()) {
    return 0;
  }

  if (!CreateFolderWithAncestors(platform, targetFolder)) {
    report.NotDone(Shortfall::Folder, targetFolder);
  }

  std::string copyFrom = sourceFolder;
  std::string copyTo = targetFolder;
  if (const std::size_t slash = FindLastCharacter(platform.system, pattern, "\\");
      slash != std::string::npos) {
    copyFrom = searchPath.substr(0, searchPath.size() - pattern.size() + slash);
    copyTo = targetFolder + "\\" + pattern.substr(0, slash);
  }

  int copied = 0;
  bool ended = false;
  for (const platform::FoundFile& entry : found) {
    if (entry.name == "." || entry.name == "..") {
      continue;
    }
    const std::string targetPath = CompleteFolder(platform.system, copyTo) + entry.name;
    CopyResult result = CopyResult::Failed;
    // The first file that fails ends the pattern: the ones after it are not copied either.
    if (ended) {
      report.NotDone(Shortfall::File, targetPath);
    } else {
      result = DeployFile(platform, entry.name, copyFrom, copyTo, std::nullopt, entry.attributes);
      Report(result, targetPath, report);
      if (result == CopyResult::Copied) {
        ++copied;
      } else if (result != CopyResult::Deferred) {
        ended = true;
      }
    }
    if (counter != nullptr) {
      counter->FilesDone(1, BytesInPlace(result, entry.size));
    }
  }
  return copied;
}

// One copy record: a rename form copies its one file, anything else is a pattern.
void CopyRecord(platform::Platform& platform, const SetupOptions& options, const std::string& spec,
                RunReport& report, DeploymentCounter& counter) {
  const std::optional<RenameSpec> rename = SplitRename(spec);
  if (!rename) {
    CopyPattern(platform, spec, options.InstallFolder, options.SourceFolder, report, &counter);
    return;
  }
  const CopyResult result = DeployFile(platform, rename->fileName, options.SourceFolder,
                                       options.InstallFolder, rename->targetName, std::nullopt);
  Report(result, CompleteFolder(platform.system, options.InstallFolder) + rename->targetName,
         report);
  if (result != CopyResult::NoSource) {
    const std::string source = CompleteFolder(platform.system, options.SourceFolder);
    const std::uint64_t size = FileSize(platform.files, source + rename->fileName).value_or(0);
    counter.FilesDone(1, BytesInPlace(result, size));
  }
}

// One folder record's folder in the install folder; with `first`, the install folder itself
// before it, as the first pattern copy would make it: on a new installation a folder record
// may come before any file.
void MakeRecordFolder(platform::Platform& platform, const SetupOptions& options,
                      const std::string& relative, bool first, RunReport& report) {
  if (first && !CreateFolderWithAncestors(platform, options.InstallFolder)) {
    report.NotDone(Shortfall::Folder, options.InstallFolder);
  }
  const std::string folder = options.InstallFolder + "\\" + relative;
  if (!platform.files.CreateDirectory(folder) && !PathExists(platform.files, folder)) {
    report.NotDone(Shortfall::Folder, folder);
  }
}

constexpr std::size_t kRewriteBuffer = 4096;

}  // namespace

bool CopyInstallFile(platform::Platform& platform, const std::string& fileName,
                     const std::string& sourceFolder, const std::string& targetFolder,
                     const std::optional<std::string>& targetName) {
  return DeployFile(platform, fileName, sourceFolder, targetFolder, targetName, std::nullopt) ==
         CopyResult::Copied;
}

bool CreateFolderWithAncestors(platform::Platform& platform, const std::string& folder) {
  platform::FileSystem& files = platform.files;
  if (PathExists(files, folder)) {
    return true;
  }
  std::string working = folder;
  NormalizeFolderText(platform.system, working);
  for (std::size_t at = FindCharacter(platform.system, working, "\\", 1); at != std::string::npos;
       at = FindCharacter(platform.system, working, "\\", at + 1)) {
    // With its separator, as the folder's own path passes through it (see the group's levels).
    files.CreateDirectory(working.substr(0, at + 1));
  }
  return files.CreateDirectory(folder) || PathExists(files, folder);
}

int CopyInstallFiles(platform::Platform& platform, const std::string& pattern,
                     const std::string& targetFolder, const std::string& sourceFolder) {
  RunReport unread;
  return CopyPattern(platform, pattern, targetFolder, sourceFolder, unread);
}

int CountFilesToCopy(platform::Platform& platform, const SetupOptions& options,
                     const Wow64Query& wow64, const std::string& manifestPath) {
  const bool sixtyFourBit = wow64.IsRunningOnWow64();
  InstallLog manifest(platform.files, manifestPath);
  int files = 0;
  while (std::optional<std::string> line = manifest.ReadLogLine()) {
    const std::optional<LogRecord> record = ParseLogRecord(*line);
    if (record && TakesCopyRecord(record->kind, record->argument, sixtyFourBit)) {
      files += FilesOfRecord(platform, options, record->argument);
    }
  }
  return files;
}

void DeployManifest(platform::Platform& platform, const SetupOptions& options,
                    const Wow64Query& wow64, const std::string& manifestPath, RunReport& report,
                    DeploymentCounter& counter) {
  if (counter.progress != nullptr) {
    counter.progress->Begin(CountFilesToCopy(platform, options, wow64, manifestPath));
  }
  const bool sixtyFourBit = wow64.IsRunningOnWow64();
  InstallLog manifest(platform.files, manifestPath);
  if (!manifest.IsOpen()) {
    return;
  }
  bool installFolderMade = false;
  while (std::optional<std::string> line = manifest.ReadLogLine()) {
    const std::optional<LogRecord> record = ParseLogRecord(*line);
    if (!record) {
      continue;
    }
    const std::string& rest = record->argument;
    switch (record->kind) {
      case LogRecordKind::FileCopy:
      case LogRecordKind::FileCopyX64:
      case LogRecordKind::FileCopyInd:
        if (!TakesCopyRecord(record->kind, rest, sixtyFourBit)) {
          break;
        }
        if (record->kind != LogRecordKind::FileCopyInd ||
            !SystemHasLibrary(platform, options, rest)) {
          CopyRecord(platform, options, rest, report, counter);
        } else if (counter.progress != nullptr) {
          // Done without a copy; looked up only for whoever counted it ahead.
          counter.FilesDone(FilesOfRecord(platform, options, rest), 0);
        }
        break;
      case LogRecordKind::MakeDir:
        // Confined like the file records.
        if (StaysInsideFolder(rest)) {
          MakeRecordFolder(platform, options, rest, !installFolderMade, report);
          installFolderMade = true;
        }
        break;
      case LogRecordKind::FileOverwrite:
      case LogRecordKind::FileDel:
      case LogRecordKind::MadeDir:
      case LogRecordKind::ShellLink:
        break;
    }
  }
}

void ExtendInstalledLog(platform::Platform& platform, const SetupOptions& options,
                        const std::string& manifestPath) {
  InstallLog manifest(platform.files, manifestPath);
  // A line of its own first: an older log may not end with a line break.
  std::string records = "\r\n";
  while (std::optional<std::string> line = manifest.ReadLogLine()) {
    const std::optional<LogRecord> record = ParseLogRecord(*line);
    if (record &&
        (record->kind == LogRecordKind::FileCopy || record->kind == LogRecordKind::FileCopyX64 ||
         record->kind == LogRecordKind::FileCopyInd || record->kind == LogRecordKind::MakeDir)) {
      records += *line + "\r\n";
    }
  }
  platform.files.AppendText(options.InstallFolder + "\\" + distribution::kManifest, records);
}

bool CreateInstalledLog(platform::Platform& platform, const SetupOptions& options) {
  platform::FileSystem& files = platform.files;
  const std::string log = options.InstallFolder + "\\" + distribution::kManifest;
  RunReport copy;
  const bool copied = CopyPattern(platform, distribution::kManifest, options.InstallFolder,
                                  options.SourceFolder, copy) == 1 &&
                      copy.Complete();
  // The group's and the shortcuts' records are appended next. A manifest from read-only media
  // passes that attribute on to its copy, which would refuse them silently.
  const std::uint32_t attributes = files.GetFileAttributes(log);
  if (attributes != platform::kInvalidFileAttributes &&
      (attributes & platform::kAttributeReadOnly)) {
    const std::uint32_t writable = attributes & ~platform::kAttributeReadOnly;
    files.SetFileAttributes(log, writable != 0 ? writable : platform::kAttributeNormal);
  }
  // Text-mode readers stop at a Ctrl-Z, so records appended behind one would never be read
  // back: the log is written again with the lines before it.
  bool whole = copied;
  const std::optional<std::string> bytes = files.ReadWholeFile(log);
  if (bytes && bytes->find('\x1A') != std::string::npos) {
    std::string lines;
    if (std::unique_ptr<platform::TextFile> text = files.OpenTextFile(log)) {
      while (std::optional<std::string> piece = text->ReadLine(kRewriteBuffer)) {
        lines += *piece;
      }
    }
    whole = whole && files.DeleteFile(log) && files.AppendText(log, lines);
  }
  return AppendLogLine(files, log, "") && whole;
}

void CopyPresetFiles(platform::Platform& platform, const SetupOptions& options, RunReport& report) {
  const std::string folder = ParentFolder(
      platform.system, platform.process.GetEnvironmentVariable(distribution::kArchiveVariable));
  if (folder.empty()) {
    return;
  }
  for (const char* name : {distribution::kPresetSettings, distribution::kPresetRegistry}) {
    Report(DeployFile(platform, name, folder, options.InstallFolder, std::nullopt, std::nullopt),
           CompleteFolder(platform.system, options.InstallFolder) + name, report);
  }
}
