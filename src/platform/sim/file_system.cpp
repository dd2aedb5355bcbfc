#include "platform/sim/file_system.h"

#include <algorithm>
#include <cctype>
#include <functional>

#include "platform/sim/user.h"

namespace sim {

using platform::FoundFile;

struct FileSystem::Node {
  std::string name;  // as written when it was created
  bool folder = false;
  std::uint32_t attributes = 0;  // as stored: never the directory or the "normal" bit
  std::string bytes;
  std::optional<platform::FixedFileVersion> version;
  std::map<std::string, std::unique_ptr<Node>> children;  // by folded name

  std::uint32_t Reported() const {
    if (folder) {
      return attributes | platform::kAttributeDirectory;
    }
    return attributes != 0 ? attributes : std::uint32_t{platform::kAttributeNormal};
  }
};

// A path taken apart: its drive and the components below the drive's root, with "." and ".."
// already applied, as Windows does before it looks at the disk.
struct FileSystem::Location {
  bool valid = false;
  char drive = 0;
  std::vector<std::string> components;
  bool trailingSeparator = false;  // names a folder only: "C:\file.txt\" finds nothing
};

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// Windows compares names by upper-casing them; only ASCII letters are folded here.
std::string Fold(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return folded;
}

bool IsValidName(const std::string& name) {
  return !name.empty() && name.find_first_of("<>:\"/\\|?*") == std::string::npos;
}

bool GlobMatch(const std::string& pattern, const std::string& name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starPattern = std::string::npos;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starPattern = p++;
      starName = n;
    } else if (starPattern != std::string::npos) {
      p = starPattern + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') {
    ++p;
  }
  return p == pattern.size();
}

class SimTextFile final : public platform::TextFile {
 public:
  explicit SimTextFile(std::string bytes) : bytes_(std::move(bytes)) {}

  std::optional<std::string> ReadLine(std::size_t capacity) override {
    if (capacity == 0) {
      return std::nullopt;
    }
    // msvcrt's fgets: capacity - 1 characters at most; only a read that finds nothing at all
    // reports the end, so a buffer of one byte reads an empty text forever.
    std::string line;
    for (std::size_t left = capacity - 1; left > 0; --left) {
      const int c = Next();
      if (c < 0) {
        if (line.empty()) {
          return std::nullopt;
        }
        break;
      }
      line += static_cast<char>(c);
      if (c == '\n') {
        break;
      }
    }
    // The caller sees the buffer as a C string: a zero byte ends the line it was read into.
    line.resize(std::min(line.size(), line.find('\0')));
    return line;
  }

  void Rewind() override {
    position_ = 0;
    ended_ = false;
  }

 private:
  // One character as text mode delivers it: CR LF as LF, a lone CR as it is, and Ctrl-Z as the
  // end of the file.
  int Next() {
    if (ended_ || position_ >= bytes_.size()) {
      return -1;
    }
    const char c = bytes_[position_];
    if (c == '\x1A') {
      ended_ = true;
      return -1;
    }
    if (c == '\r' && position_ + 1 < bytes_.size() && bytes_[position_ + 1] == '\n') {
      position_ += 2;
      return '\n';
    }
    ++position_;
    return static_cast<unsigned char>(c);
  }

  std::string bytes_;
  std::size_t position_ = 0;
  bool ended_ = false;
};

}  // namespace

bool MatchesWildcard(const std::string& pattern, const std::string& name) {
  const std::string foldedPattern = Fold(pattern);
  const std::string foldedName = Fold(name);
  if (GlobMatch(foldedPattern, foldedName)) {
    return true;
  }
  // Windows lets a final ".*" match the end of a name that has no extension.
  const std::size_t size = foldedPattern.size();
  return size >= 2 && foldedPattern.compare(size - 2, 2, ".*") == 0 &&
         foldedName.find('.') == std::string::npos &&
         GlobMatch(foldedPattern.substr(0, size - 2), foldedName);
}

FileSystem::FileSystem() {
  AddDrive('C');
}

FileSystem::~FileSystem() = default;

FileSystem::Location FileSystem::Resolve(const std::string& path) const {
  Location location;
  std::size_t start = 0;
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
    location.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    start = 2;
    // "C:name" is relative to the drive's current folder; only one drive has one here.
    if ((path.size() == 2 || !IsSeparator(path[2])) && location.drive == currentDrive_) {
      location.components = currentFolder_;
    }
  } else if (!path.empty() && IsSeparator(path[0])) {
    if (path.size() >= 2 && IsSeparator(path[1])) {
      return location;  // network paths lead nowhere on this machine
    }
    location.drive = currentDrive_;
  } else if (!path.empty()) {
    location.drive = currentDrive_;
    location.components = currentFolder_;
  } else {
    return location;
  }

  std::size_t position = start;
  while (position < path.size()) {
    std::size_t end = position;
    while (end < path.size() && !IsSeparator(path[end])) {
      ++end;
    }
    const std::string component = path.substr(position, end - position);
    if (component == "..") {
      if (!location.components.empty()) {
        location.components.pop_back();
      }
    } else if (!component.empty() && component != ".") {
      location.components.push_back(component);
    }
    position = end + 1;
  }
  location.trailingSeparator = path.size() > start && IsSeparator(path.back());
  location.valid = true;
  return location;
}

FileSystem::Node* FileSystem::Find(const Location& location) const {
  if (!location.valid) {
    return nullptr;
  }
  const auto drive = drives_.find(location.drive);
  if (drive == drives_.end()) {
    return nullptr;
  }
  Node* node = drive->second.get();
  for (const std::string& component : location.components) {
    if (!node->folder) {
      return nullptr;
    }
    const auto child = node->children.find(Fold(component));
    if (child == node->children.end()) {
      return nullptr;
    }
    node = child->second.get();
  }
  if (location.trailingSeparator && !node->folder) {
    return nullptr;
  }
  return node;
}

FileSystem::Node* FileSystem::FindParent(const Location& location) const {
  if (!location.valid || location.components.empty()) {
    return nullptr;
  }
  Location parent = location;
  parent.components.pop_back();
  parent.trailingSeparator = false;
  Node* node = Find(parent);
  return node && node->folder ? node : nullptr;
}

std::uint32_t FileSystem::GetFileAttributes(const std::string& path) {
  const Node* node = Find(Resolve(path));
  return node ? node->Reported() : platform::kInvalidFileAttributes;
}

std::vector<FoundFile> FileSystem::FindFiles(const std::string& pattern) {
  const Location location = Resolve(pattern);
  if (location.trailingSeparator) {
    return {};
  }
  const Node* folder = FindParent(location);
  if (!folder) {
    return {};
  }
  const std::string& mask = location.components.back();
  std::vector<FoundFile> found;
  // A drive's root has no "." and ".." entries; every other folder has both.
  if (location.components.size() > 1) {
    for (const char* dots : {".", ".."}) {
      if (MatchesWildcard(mask, dots)) {
        found.push_back({dots, platform::kAttributeDirectory});
      }
    }
  }
  for (const auto& [folded, child] : folder->children) {
    if (MatchesWildcard(mask, child->name)) {
      found.push_back({child->name, child->Reported()});
    }
  }
  return found;
}

bool FileSystem::CreateDirectory(const std::string& path) {
  const Location location = Resolve(path);
  Node* parent = FindParent(location);
  if (!parent || !IsValidName(location.components.back())) {
    return false;
  }
  auto& slot = parent->children[Fold(location.components.back())];
  if (slot) {
    return false;
  }
  slot = std::make_unique<Node>();
  slot->name = location.components.back();
  slot->folder = true;
  return true;
}

bool FileSystem::RemoveDirectory(const std::string& path) {
  const Location location = Resolve(path);
  Node* parent = FindParent(location);
  const Node* node = Find(location);
  if (!parent || !node || !node->folder || !node->children.empty()) {
    return false;
  }
  parent->children.erase(Fold(location.components.back()));
  return true;
}

bool FileSystem::DeleteFile(const std::string& path) {
  const Location location = Resolve(path);
  Node* parent = FindParent(location);
  const Node* node = Find(location);
  if (!parent || !node || node->folder || (node->attributes & platform::kAttributeReadOnly)) {
    return false;
  }
  parent->children.erase(Fold(location.components.back()));
  return true;
}

std::unique_ptr<platform::TextFile> FileSystem::OpenTextFile(const std::string& path) {
  const Node* node = Find(Resolve(path));
  if (!node || node->folder) {
    return nullptr;
  }
  return std::make_unique<SimTextFile>(node->bytes);
}

bool FileSystem::AppendText(const std::string& path, const std::string& text) {
  const Location location = Resolve(path);
  Node* parent = FindParent(location);
  if (!parent || location.trailingSeparator || !IsValidName(location.components.back())) {
    return false;
  }
  auto& slot = parent->children[Fold(location.components.back())];
  if (!slot) {
    slot = std::make_unique<Node>();
    slot->name = location.components.back();
  } else if (slot->folder || (slot->attributes & platform::kAttributeReadOnly)) {
    return false;
  }
  // fputs writes up to the first zero.
  for (char c : text.substr(0, text.find('\0'))) {
    if (c == '\n') {
      slot->bytes += '\r';
    }
    slot->bytes += c;
  }
  slot->attributes |= platform::kAttributeArchive;
  return true;
}

void FileSystem::AddDrive(char letter) {
  if (!std::isalpha(static_cast<unsigned char>(letter))) {
    throw ScriptError(std::string("not a drive letter: ") + letter);
  }
  const char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  auto& root = drives_[drive];
  if (!root) {
    root = std::make_unique<Node>();
    root->name = std::string(1, drive) + ":";
    root->folder = true;
  }
}

FileSystem::Node& FileSystem::Lay(const std::string& path, bool folder) {
  const Location location = Resolve(path);
  if (!location.valid) {
    throw ScriptError("not a path on a drive: " + path);
  }
  AddDrive(location.drive);
  const auto drive = drives_.find(location.drive);
  if (location.components.empty() && !folder) {
    throw ScriptError("a drive is not a file: " + path);
  }
  Node* node = drive->second.get();
  for (std::size_t i = 0; i < location.components.size(); ++i) {
    const std::string& component = location.components[i];
    const bool last = i + 1 == location.components.size();
    if (!IsValidName(component)) {
      throw ScriptError("not a valid name in: " + path);
    }
    auto& slot = node->children[Fold(component)];
    if (!slot) {
      slot = std::make_unique<Node>();
      slot->name = component;
      slot->folder = folder || !last;
      slot->attributes = slot->folder ? 0 : std::uint32_t{platform::kAttributeArchive};
    }
    if (slot->folder != (folder || !last)) {
      throw ScriptError((slot->folder ? "a folder lies at: " : "a file lies at: ") + path);
    }
    node = slot.get();
  }
  return *node;
}

void FileSystem::CreateFolders(const std::string& path) {
  Lay(path, true);
}

void FileSystem::WriteFile(const std::string& path, std::string bytes) {
  Lay(path, false).bytes = std::move(bytes);
}

std::optional<std::string> FileSystem::ReadFile(const std::string& path) const {
  const Node* node = Find(Resolve(path));
  if (!node || node->folder) {
    return std::nullopt;
  }
  return node->bytes;
}

bool FileSystem::Exists(const std::string& path) const {
  return Find(Resolve(path)) != nullptr;
}

void FileSystem::SetAttributes(const std::string& path, std::uint32_t attributes) {
  Node* node = Find(Resolve(path));
  if (!node) {
    throw ScriptError("nothing to set attributes on: " + path);
  }
  node->attributes =
      attributes & ~std::uint32_t{platform::kAttributeDirectory | platform::kAttributeNormal};
}

void FileSystem::SetFileVersion(const std::string& path,
                                std::optional<platform::FixedFileVersion> version) {
  Node* node = Find(Resolve(path));
  if (!node || node->folder) {
    throw ScriptError("no file to carry a version: " + path);
  }
  node->version = version;
}

std::optional<platform::FixedFileVersion> FileSystem::FileVersion(const std::string& path) const {
  const Node* node = Find(Resolve(path));
  if (!node || node->folder) {
    return std::nullopt;
  }
  return node->version;
}

void FileSystem::Remove(const std::string& path) {
  const Location location = Resolve(path);
  Node* parent = FindParent(location);
  if (parent && Find(location)) {
    parent->children.erase(Fold(location.components.back()));
  }
}

std::vector<std::string> FileSystem::AllPaths() const {
  std::vector<std::string> paths;
  const std::function<void(const Node&, const std::string&)> walk = [&](const Node& folder,
                                                                        const std::string& path) {
    paths.push_back(path);
    for (const auto& [folded, child] : folder.children) {
      if (child->folder) {
        walk(*child, path + child->name + "\\");
      } else {
        paths.push_back(path + child->name);
      }
    }
  };
  for (const auto& [letter, root] : drives_) {
    walk(*root, root->name + "\\");
  }
  return paths;
}

void FileSystem::SetCurrentFolder(const std::string& path) {
  const Location location = Resolve(path);
  const Node* node = Find(location);
  if (!node || !node->folder) {
    throw ScriptError("no folder to make current: " + path);
  }
  currentDrive_ = location.drive;
  currentFolder_ = location.components;
}

std::optional<platform::FixedFileVersion> FileVersions::GetFixedFileVersion(
    const std::string& path) {
  return files_.FileVersion(path);
}

}  // namespace sim
