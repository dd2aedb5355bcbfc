#include "engine/removal_helpers.h"

#include <cstddef>

#include "engine/paths.h"
#include "engine/reboot_operations.h"
#include "engine/text.h"

namespace {

// The position after the pattern's last backslash.
std::size_t FolderPartLength(platform::System& system, const std::string& pattern) {
  const std::size_t last = FindLastCharacter(system, pattern, "\\");
  return last == std::string::npos ? 0 : last + 1;
}

// Takes read-only and hidden away, when set, so that the file can be deleted. True when
// something was taken away.
bool ClearProtection(platform::FileSystem& files, const std::string& path,
                     std::uint32_t attributes) {
  constexpr std::uint32_t kProtection = platform::kAttributeReadOnly | platform::kAttributeHidden;
  if ((attributes & kProtection) == 0) {
    return false;
  }
  files.SetFileAttributes(path, attributes & ~kProtection);
  return true;
}

bool IsFile(platform::FileSystem& files, const std::string& path) {
  const std::uint32_t attributes = files.GetFileAttributes(path);
  return attributes != platform::kInvalidFileAttributes &&
         (attributes & platform::kAttributeDirectory) == 0;
}

// A file that would not go: held by a program, it goes at the next start; gone meanwhile, or a
// folder, it needs nothing.
void LeftBehind(platform::FileSystem& files, const std::string& path, RunReport& report) {
  if (IsFile(files, path)) {
    DeleteAtNextStart(files, path, report);
  }
}

}  // namespace

bool HoldsNothing(platform::FileSystem& files, const std::string& folder) {
  for (const platform::FoundFile& entry : files.FindFiles(folder + "\\*")) {
    if (entry.name != "." && entry.name != "..") {
      return false;
    }
  }
  return true;
}

bool DeleteFileNow(platform::FileSystem& files, const std::string& path) {
  if (files.DeleteFile(path)) {
    return true;
  }
  const std::uint32_t attributes = files.GetFileAttributes(path);
  return attributes != platform::kInvalidFileAttributes &&
         ClearProtection(files, path, attributes) && files.DeleteFile(path);
}

void DeleteAtNextStart(platform::FileSystem& files, const std::string& path, RunReport& report) {
  if (DeleteAtReboot(files, path)) {
    report.AtNextStart(path);
  } else {
    report.NotDone(Shortfall::Removal, path);
  }
}

int DeleteFilesByPattern(platform::Platform& platform, const std::string& folder,
                         const std::string& pattern, RunReport& report) {
  platform::FileSystem& files = platform.files;
  std::string base = folder;
  if (!base.empty() && !EndsWithCharacter(platform.system, base, kSeparators)) {
    base += '\\';
  }
  const std::string search = base + pattern;
  if (search.size() >= kPathCapacity) {
    return 0;
  }
  // A record that names one file needs no search: the deletion itself tells whether it was
  // there, and only a refused one asks for the attributes. Neither byte of a wildcard can be
  // the second byte of a double-byte character.
  if (pattern.find_first_of("*?") == std::string::npos) {
    if (report.IsSpared(search)) {
      return 0;
    }
    if (DeleteFileNow(files, search)) {
      return 1;
    }
    LeftBehind(files, search, report);
    return 0;
  }
  const std::string prefix = base + pattern.substr(0, FolderPartLength(platform.system, pattern));
  int deleted = 0;
  for (const platform::FoundFile& found : files.FindFiles(search)) {
    const std::string path = prefix + found.name;
    // A path that would not fit the buffer is never built, so it is never touched.
    if (path.size() >= kPathCapacity || report.IsSpared(path)) {
      continue;
    }
    // The search gave the attributes already: only a read-only or hidden file needs them set.
    ClearProtection(files, path, found.attributes);
    if (files.DeleteFile(path)) {
      ++deleted;
    } else if ((found.attributes & platform::kAttributeDirectory) == 0) {
      LeftBehind(files, path, report);
    }
  }
  return deleted;
}
