#include "engine/paths.h"

#include <vector>

#include "engine/text.h"

namespace {

// Not every blank of IsSpace: a vertical tab or a form feed stays.
bool IsFolderPadding(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\\';
}

}  // namespace

std::string ProgramFilePath(const std::string& moduleFileName) {
  return moduleFileName.substr(0, kPathCapacity - 1);
}

std::string CompleteFolder(platform::System& system, const std::string& folder) {
  if (EndsWithCharacter(system, folder, kSeparators)) {
    return folder;
  }
  return folder + "\\";
}

std::string WithoutTrailingBackslash(platform::System& system, std::string folder) {
  if (EndsWithCharacter(system, folder, "\\")) {
    folder.pop_back();
  }
  return folder;
}

std::string ParentFolder(platform::System& system, const std::optional<std::string>& path) {
  if (!path) {
    return {};
  }
  const std::string text = WithoutTrailingBackslash(system, *path);
  const std::size_t lastSlash = FindLastCharacter(system, text, "\\");
  if (lastSlash == std::string::npos || lastSlash == 0) {
    return {};
  }
  return text.substr(0, lastSlash);
}

std::string FolderOf(platform::System& system, const std::string& path) {
  const std::size_t lastSeparator = FindLastCharacter(system, path, kSeparators);
  if (lastSeparator != std::string::npos) {
    return path.substr(0, lastSeparator + 1);
  }
  return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : std::string();
}

std::string LastComponent(platform::System& system, const std::string& path) {
  const std::size_t lastSlash = FindLastCharacter(system, path, "\\");
  return lastSlash == std::string::npos ? path : path.substr(lastSlash + 1);
}

bool IsBareDrive(std::string_view folder) {
  return folder.size() == 2 && folder[1] == ':';
}

void NormalizeFolderText(platform::System& system, std::string& text) {
  // Where each character starts; a double-byte character is one character.
  std::vector<std::size_t> starts;
  ForEachCharacter(system, text, [&](std::size_t at, std::size_t length) {
    starts.push_back(at);
    if (length == 1 && text[at] == '/') {
      text[at] = '\\';
    }
  });
  auto isPadding = [&](std::size_t index) {
    const std::size_t end = index + 1 < starts.size() ? starts[index + 1] : text.size();
    return end - starts[index] == 1 && IsFolderPadding(text[starts[index]]);
  };
  std::size_t first = 0;
  while (first < starts.size() && isPadding(first)) {
    ++first;
  }
  std::size_t last = starts.size();
  while (last > first && isPadding(last - 1)) {
    --last;
  }
  const std::size_t begin = first < starts.size() ? starts[first] : text.size();
  const std::size_t end = last < starts.size() ? starts[last] : text.size();
  text = text.substr(begin, end - begin);
}

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
