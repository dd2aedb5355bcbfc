#include "engine/paths.h"

#include <cstddef>
#include <vector>

bool StaysInsideFolder(std::string_view relative) {
  if (relative.empty() || relative.front() == '\\' || relative.front() == '/' ||
      relative.find(':') != std::string_view::npos) {
    return false;
  }
  std::size_t start = 0;
  while (start <= relative.size()) {
    const std::size_t end = relative.find_first_of("\\/", start);
    const std::string_view step = relative.substr(
        start, end == std::string_view::npos ? std::string_view::npos : end - start);
    // Windows drops final dots and blanks from a name, so "...", ". ." and ".. " climb out as
    // ".." does; only "." stays where it is.
    if (step != "." && !step.empty() && step.find_first_not_of(". ") == std::string_view::npos) {
      return false;
    }
    if (end == std::string_view::npos) {
      break;
    }
    start = end + 1;
  }
  return true;
}

bool PathExists(platform::FileSystem& files, const std::string& path) {
  return files.GetFileAttributes(path) != platform::kInvalidFileAttributes;
}

std::optional<std::uint64_t> FileSize(platform::FileSystem& files, const std::string& path) {
  const std::vector<platform::FoundFile> found = files.FindFiles(path);
  if (found.size() != 1 || (found.front().attributes & platform::kAttributeDirectory)) {
    return std::nullopt;
  }
  return found.front().size;
}
