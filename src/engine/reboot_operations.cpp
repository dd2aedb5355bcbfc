#include "engine/reboot_operations.h"

namespace {

constexpr char kInitFile[] = "WININIT.INI";
constexpr char kRenameSection[] = "rename";
constexpr std::size_t kSectionBuffer = 0x4000;

bool AppendRenameEntry(platform::FileSystem& files, const std::string& entry) {
  // A section that does not fit is read again into a larger buffer: every entry already there
  // must be written back, none cut off.
  std::string lines;
  for (std::size_t capacity = kSectionBuffer;; capacity *= 2) {
    const std::size_t copied =
        files.GetPrivateProfileSection(kRenameSection, capacity, kInitFile, lines);
    if (copied + 2 < capacity) {
      break;
    }
  }
  return files.WritePrivateProfileSection(kRenameSection, AppendSectionEntry(lines, entry),
                                          kInitFile);
}

}  // namespace

std::string AppendSectionEntry(const std::string& lines, const std::string& entry) {
  std::string section = lines;
  section += entry;
  section += '\0';
  section += '\0';
  return section;
}

bool DeleteAtReboot(platform::FileSystem& files, const std::string& path) {
  return files.MoveFileEx(path, std::nullopt, platform::kMoveFileDelayUntilReboot) ||
         AppendRenameEntry(files, "NUL=" + path);
}

bool RenameAtReboot(platform::FileSystem& files, const std::string& existingPath,
                    const std::string& newPath) {
  return files.MoveFileEx(existingPath, newPath, platform::kMoveFileDelayUntilReboot) ||
         AppendRenameEntry(files, newPath + "=" + existingPath);
}
