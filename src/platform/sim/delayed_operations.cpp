// What waits for the next start of Windows: the operations MoveFileEx delays until then, and
// the [rename] section of WININIT.INI, with the ini files' reading and writing that both the
// program and the start use.
#include <algorithm>
#include <cctype>

#include "platform/sim/file_nodes.h"
#include "platform/sim/file_system.h"

namespace sim {

using grammar::Fold;

namespace {

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// An ini file as lines, without their line ends.
std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) {
      end = bytes.size();
    }
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) {
    bytes += line + "\r\n";
  }
  return bytes;
}

std::optional<std::string> SectionName(const std::string& line) {
  const std::string trimmed = Trim(line);
  if (trimmed.size() < 2 || trimmed.front() != '[') {
    return std::nullopt;
  }
  const std::size_t close = trimmed.find(']');
  return Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

// The lines [first, last) of the section's body; first == 0 when the file lacks the section.
std::pair<std::size_t, std::size_t> FindSection(const std::vector<std::string>& lines,
                                                const std::string& section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::optional<std::string> name = SectionName(lines[i]);
    if (name && Fold(*name, {}) == Fold(Trim(section), {})) {
      std::size_t end = i + 1;
      while (end < lines.size() && !SectionName(lines[end])) {
        ++end;
      }
      return {i + 1, end};
    }
  }
  return {0, 0};
}

// A body line as a program reads it: blanks around the key and the value go.
std::optional<std::string> EntryText(const std::string& line) {
  const std::string trimmed = Trim(line);
  if (trimmed.empty()) {
    return std::nullopt;
  }
  const std::size_t equals = trimmed.find('=');
  if (equals == std::string::npos) {
    return trimmed;
  }
  return Trim(trimmed.substr(0, equals)) + "=" + Trim(trimmed.substr(equals + 1));
}

}  // namespace

bool FileSystem::DelayMove(const std::string& existing, const std::optional<std::string>& target,
                           std::uint32_t flags) {
  // The operations for the next start wait in the machine's part of the registry: a fault names
  // it, and a want of rights there shows only once the paths are found good.
  const std::optional<unsigned> error = Injected("MoveFileExA", kLocalMachine);
  const bool denied = error == static_cast<unsigned>(platform::kErrorAccessDenied);
  if (error && !denied) {
    return Fail(*error);
  }
  const Location from = Resolve(existing);
  const std::optional<Location> to = target ? std::optional(Resolve(*target)) : std::nullopt;
  if (!from.valid || (to && !to->valid)) {
    return Fail(platform::kErrorPathNotFound);
  }
  if (denied) {
    return Fail(platform::kErrorAccessDenied);
  }
  delayed_.push_back({Full(from), to ? std::optional(Full(*to)) : std::nullopt,
                      (flags & platform::kMoveFileReplaceExisting) != 0});
  return true;
}

void FileSystem::CarryOutDelayedOperations() {
  const std::vector<DelayedOperation> operations = std::move(delayed_);
  delayed_.clear();
  const unsigned previous = acting_;
  acting_ = 0;  // the paths are full already
  for (const DelayedOperation& operation : operations) {
    if (!operation.target) {
      const Node* node = Find(Resolve(operation.existing));
      if (node && node->folder) {
        RemoveDirectory(operation.existing);
      } else {
        DeleteFile(operation.existing);
      }
    } else {
      MoveFileEx(operation.existing, operation.target,
                 operation.replaceExisting ? platform::kMoveFileReplaceExisting : 0);
    }
  }
  acting_ = previous;
}

void FileSystem::Restart() {
  ReleaseEverything();
  CarryOutDelayedOperations();
  const std::string wininit = IniPath("WININIT.INI");
  const auto entries = ProfileSection(wininit, "rename");
  if (!entries) {
    return;
  }
  for (const auto& [target, source] : *entries) {
    if (target.size() == 3 && std::toupper(static_cast<unsigned char>(target[0])) == 'N' &&
        std::toupper(static_cast<unsigned char>(target[1])) == 'U' &&
        std::toupper(static_cast<unsigned char>(target[2])) == 'L') {
      DeleteFile(source);
    } else {
      MoveFileEx(source, target, platform::kMoveFileReplaceExisting);
    }
  }
  RemoveProfileSection(wininit, "rename");
}

std::string FileSystem::IniPath(const std::string& file) const {
  if (file.find_first_of("\\/") == std::string::npos && !(file.size() >= 2 && file[1] == ':')) {
    return (windowsFolder_ ? windowsFolder_() : std::string("C:\\WINDOWS")) + "\\" + file;
  }
  return file;
}

std::size_t FileSystem::GetPrivateProfileSection(const std::string& section, std::size_t capacity,
                                                 const std::string& file, std::string& lines) {
  lines.clear();
  std::string all;
  if (const std::optional<std::string> bytes = ReadFile(IniPath(file))) {
    const std::vector<std::string> text = SplitLines(*bytes);
    const auto [first, last] = FindSection(text, section);
    for (std::size_t i = first; i < last; ++i) {
      if (const std::optional<std::string> entry = EntryText(text[i])) {
        all += *entry;
        all += '\0';
      }
    }
  }
  // The list needs its closing zero in the buffer, and one character more: a list that would
  // fill the buffer exactly counts as cut.
  if (all.empty() || all.size() + 2 <= capacity) {
    lines = all;
    return all.size();
  }
  const std::size_t copied = capacity >= 2 ? capacity - 2 : 0;
  lines = all.substr(0, copied);
  return copied;
}

bool FileSystem::WritePrivateProfileSection(const std::string& section, const std::string& lines,
                                            const std::string& file) {
  if (const std::optional<unsigned> error = Injected("WritePrivateProfileSectionA", file)) {
    return Fail(*error);
  }
  const std::string path = IniPath(file);
  const Location location = Resolve(path);
  long refused = 0;
  Node* parent = FolderForEntry(location, refused);
  if (!parent) {
    return Fail(refused);
  }
  Node* node = Find(location);
  if (const long refused = WriteRefusal(location, node)) {
    return Fail(refused);
  }
  std::vector<std::string> body;
  for (std::size_t start = 0; start < lines.size();) {
    const std::size_t end = std::min(lines.find('\0', start), lines.size());
    if (end == start) {
      break;  // the empty string that closes the list
    }
    const std::string entry = lines.substr(start, end - start);
    if (entry.find('=') != std::string::npos) {
      body.push_back(entry);
    }
    start = end + 1;
  }
  std::vector<std::string> text = node ? SplitLines(node->bytes) : std::vector<std::string>{};
  const auto [first, last] = FindSection(text, section);
  if (first == 0) {
    text.push_back("[" + section + "]");
    text.insert(text.end(), body.begin(), body.end());
  } else {
    text.erase(text.begin() + static_cast<std::ptrdiff_t>(first),
               text.begin() + static_cast<std::ptrdiff_t>(last));
    text.insert(text.begin() + static_cast<std::ptrdiff_t>(first), body.begin(), body.end());
  }
  const std::uint64_t room = Room(parent->drive, node ? node->bytes.size() : 0);
  if (!node) {
    auto& slot = parent->children[Fold(location.components.back())];
    slot = NewNode(*parent, location.components.back());
    node = slot.get();
  }
  node->bytes = JoinLines(text);
  node->attributes |= platform::kAttributeArchive;
  // The file is written anew from its start: a full drive cuts it.
  if (node->bytes.size() > room) {
    node->bytes.resize(static_cast<std::size_t>(room));
    return Fail(platform::kErrorDiskFull);
  }
  return true;
}

std::optional<std::vector<std::pair<std::string, std::string>>> FileSystem::ProfileSection(
    const std::string& file, const std::string& section) const {
  const std::optional<std::string> bytes = ReadFile(IniPath(file));
  if (!bytes) {
    return std::nullopt;
  }
  const std::vector<std::string> text = SplitLines(*bytes);
  const auto [first, last] = FindSection(text, section);
  if (first == 0) {
    return std::nullopt;
  }
  std::vector<std::pair<std::string, std::string>> entries;
  for (std::size_t i = first; i < last; ++i) {
    if (const std::optional<std::string> entry = EntryText(text[i])) {
      const std::size_t equals = entry->find('=');
      entries.emplace_back(entry->substr(0, equals),
                           equals == std::string::npos ? std::string() : entry->substr(equals + 1));
    }
  }
  return entries;
}

void FileSystem::RemoveProfileSection(const std::string& file, const std::string& section) {
  Node* node = Find(Resolve(IniPath(file)));
  if (!node || node->folder) {
    return;
  }
  std::vector<std::string> text = SplitLines(node->bytes);
  const auto [first, last] = FindSection(text, section);
  if (first == 0) {
    return;
  }
  text.erase(text.begin() + static_cast<std::ptrdiff_t>(first - 1),
             text.begin() + static_cast<std::ptrdiff_t>(last));
  node->bytes = JoinLines(text);
}

}  // namespace sim
