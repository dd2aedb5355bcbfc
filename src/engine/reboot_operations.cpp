#include "engine/reboot_operations.h"

namespace {

constexpr char kInitFile[] = "WININIT.INI";
constexpr char kRenameSection[] = "rename";
constexpr std::size_t kSectionBuffer = 0x4000;

void AppendRenameEntry(platform::FileSystem& files, const std::string& entry) {
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
  files.WritePrivateProfileSection(kRenameSection, AppendSectionEntry(lines, entry), kInitFile);
}

}  // namespace

std::string AppendSectionEntry(const std::string& lines, const std::string& entry) {
  std::string section = lines;
  section += entry;
  section += '\0';
  section += '\0';
  return section;
}

void DeleteAtReboot(platform::FileSystem& files, const std::string& path) {
  if (!files.MoveFileEx(path, std::nullopt, platform::kMoveFileDelayUntilReboot)) {
    AppendRenameEntry(files, "NUL=" + path);
  }
}

void RenameAtReboot(platform::FileSystem& files, const std::string& existingPath,
                    const std::string& newPath) {
  if (!files.MoveFileEx(existingPath, newPath, platform::kMoveFileDelayUntilReboot)) {
    AppendRenameEntry(files, newPath + "=" + existingPath);
  }
}
