#include "platform/sim/file_system.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <limits>
#include <set>

#include "platform/sim/system.h"
#include "platform/sim/user.h"

namespace sim {

using platform::FoundFile;

namespace {

std::uint64_t NextNodeId() {
  static std::uint64_t next = 1;
  return next++;
}

}  // namespace

struct FileSystem::Node {
  std::uint64_t id = NextNodeId();  // what a hold names: it stays through a rename
  std::uint64_t created = ReadClock();
  InUse inUse = InUse::None;
  std::string name;       // as written when it was created
  std::string shortName;  // the 8.3 alias the volume made; empty when the name is one already
  char drive = 0;         // the volume's letter
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

// The characters of a text: a lead byte of the code page and the byte after it are one.
std::vector<std::string> Characters(const std::string& text, const LeadByte& leadByte) {
  std::vector<std::string> characters;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length =
        leadByte && leadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    characters.push_back(text.substr(i, length));
    i += length;
  }
  return characters;
}

// Windows compares names by upper-casing them; only ASCII letters are folded here, and never
// the second byte of a double-byte character.
std::string Fold(const std::string& name, const LeadByte& leadByte) {
  std::string folded;
  for (std::string character : Characters(name, leadByte)) {
    if (character.size() == 1) {
      character[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(character[0])));
    }
    folded += character;
  }
  return folded;
}

bool IsValidName(const std::string& name, const LeadByte& leadByte) {
  if (name.empty()) {
    return false;
  }
  for (const std::string& character : Characters(name, leadByte)) {
    if (character.size() == 1 &&
        std::string_view("<>:\"/\\|?*").find(character[0]) != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

// Where the separators of a path are, stepping by characters.
std::vector<std::size_t> SeparatorPositions(const std::string& path, const LeadByte& leadByte) {
  std::vector<std::size_t> positions;
  std::size_t at = 0;
  for (const std::string& character : Characters(path, leadByte)) {
    if (character.size() == 1 && IsSeparator(character[0])) {
      positions.push_back(at);
    }
    at += character.size();
  }
  return positions;
}

bool GlobMatch(const std::vector<std::string>& pattern, const std::vector<std::string>& name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starPattern = std::string::npos;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == "?" || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == "*") {
      starPattern = p++;
      starName = n;
    } else if (starPattern != std::string::npos) {
      p = starPattern + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == "*") {
    ++p;
  }
  return p == pattern.size();
}

// Whether a name is its own 8.3 alias: up to eight characters, a dot and up to three more, of
// the characters an alias may hold, in any letter case.
bool IsShortName(const std::string& name) {
  const std::size_t dot = name.find('.');
  const std::size_t baseLength = dot == std::string::npos ? name.size() : dot;
  if (baseLength == 0 || baseLength > 8 ||
      (dot != std::string::npos && (name.size() - dot - 1 > 3 || name.size() - dot - 1 == 0 ||
                                    name.find('.', dot + 1) != std::string::npos))) {
    return false;
  }
  for (const char c : name) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c != '.' &&
        (byte >= 0x80 || !(std::isalnum(byte) || std::string_view("!#$%&'()-@^_`{}~").find(c) !=
                                                     std::string_view::npos))) {
      return false;
    }
  }
  return true;
}

// What an alias keeps of a long name's part: letters upper-cased, characters an alias cannot
// hold as "_", blanks and dots left out.
std::string AliasPart(const std::string& part, const LeadByte& leadByte) {
  std::string alias;
  for (const std::string& character : Characters(part, leadByte)) {
    const unsigned char byte = static_cast<unsigned char>(character[0]);
    if (character == " " || character == ".") {
      continue;
    }
    if (character.size() == 1 && byte < 0x80 &&
        (std::isalnum(byte) ||
         std::string_view("!#$%&'()-@^_`{}~").find(character[0]) != std::string_view::npos)) {
      alias += static_cast<char>(std::toupper(byte));
    } else {
      alias += '_';
    }
  }
  return alias;
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

bool MatchesWildcard(const std::string& pattern, const std::string& name,
                     const LeadByte& leadByte) {
  std::vector<std::string> foldedPattern = Characters(Fold(pattern, leadByte), leadByte);
  const std::vector<std::string> foldedName = Characters(Fold(name, leadByte), leadByte);
  if (GlobMatch(foldedPattern, foldedName)) {
    return true;
  }
  // Windows lets a final ".*" match the end of a name that has no extension.
  const std::size_t size = foldedPattern.size();
  if (size < 2 || foldedPattern[size - 2] != "." || foldedPattern[size - 1] != "*" ||
      std::find(foldedName.begin(), foldedName.end(), ".") != foldedName.end()) {
    return false;
  }
  foldedPattern.resize(size - 2);
  return GlobMatch(foldedPattern, foldedName);
}

FileSystem::FileSystem() {
  AddDrive('C');
}

FileSystem::~FileSystem() = default;

FileSystem::Location FileSystem::Parse(const std::string& path) const {
  Location location;
  std::size_t start = 0;
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
    location.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    start = 2;
    // "C:name" is relative to the drive's current folder; only one drive has one here.
    if ((path.size() == 2 || !IsSeparator(path[2])) && location.drive == Current().drive) {
      location.components = Current().folder;
    }
  } else if (!path.empty() && IsSeparator(path[0])) {
    if (path.size() >= 2 && IsSeparator(path[1])) {
      return location;  // network paths lead nowhere on this machine
    }
    location.drive = Current().drive;
  } else if (!path.empty()) {
    location.drive = Current().drive;
    location.components = Current().folder;
  } else {
    return location;
  }

  const std::vector<std::size_t> separators = SeparatorPositions(path, leadByte_);
  location.trailingSeparator =
      path.size() > start && !separators.empty() && separators.back() + 1 == path.size();
  std::size_t position = start;
  auto next = std::lower_bound(separators.begin(), separators.end(), start);
  while (position < path.size()) {
    const std::size_t end = next == separators.end() ? path.size() : *next++;
    std::string component = path.substr(position, end - position);
    position = end + 1;
    if (component == "..") {
      if (!location.components.empty()) {
        location.components.pop_back();
      }
      continue;
    }
    if (component == ".") {
      continue;
    }
    // Before a separator a name loses one final dot; at the end of the path every final dot
    // and blank goes, so "b.dat " names "b.dat" and "sub." names "sub".
    if (end < path.size()) {
      if (!component.empty() && component.back() == '.') {
        component.pop_back();
      }
    } else {
      component.erase(component.find_last_not_of(". ") + 1);
    }
    if (!component.empty()) {
      location.components.push_back(component);
    }
  }
  location.valid = true;
  return location;
}

FileSystem::Location FileSystem::Resolve(const std::string& path) const {
  Location location = Parse(path);
  if (location.valid) {
    Substitute(location);
    SpellAliasesOut(location);
  }
  return location;
}

void FileSystem::Substitute(Location& location) const {
  const auto substitute = substitutes_.find(location.drive);
  if (substitute == substitutes_.end()) {
    return;
  }
  std::vector<std::string> components = substitute->second.components;
  components.insert(components.end(), location.components.begin(), location.components.end());
  location.drive = substitute->second.drive;
  location.components = std::move(components);
}

void FileSystem::SpellAliasesOut(Location& location) const {
  const auto drive = drives_.find(location.drive);
  if (drive == drives_.end()) {
    return;
  }
  const Node* node = drive->second.get();
  for (std::string& component : location.components) {
    if (!node->folder) {
      return;
    }
    const std::string folded = Fold(component);
    auto child = node->children.find(folded);
    if (child == node->children.end()) {
      child = std::find_if(node->children.begin(), node->children.end(), [&](const auto& entry) {
        return entry.second && !entry.second->shortName.empty() &&
               entry.second->shortName == folded;
      });
      if (child == node->children.end()) {
        return;
      }
      component = child->second->name;
    }
    node = child->second.get();
  }
}

std::string FileSystem::Fold(const std::string& name) const {
  return sim::Fold(name, leadByte_);
}

bool FileSystem::IsValidName(const std::string& name) const {
  return sim::IsValidName(name, leadByte_);
}

std::unique_ptr<FileSystem::Node> FileSystem::NewNode(const Node& parent,
                                                      const std::string& name) const {
  auto node = std::make_unique<Node>();
  node->name = name;
  node->drive = parent.drive;
  node->shortName = AliasFor(parent, name);
  return node;
}

std::string FileSystem::AliasFor(const Node& parent, const std::string& name) const {
  if (IsShortName(name) || withoutAliases_.count(parent.drive) != 0) {
    return {};
  }
  const std::size_t dot = name.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot > 0 && dot + 1 < name.size();
  const std::string base = AliasPart(hasExtension ? name.substr(0, dot) : name, leadByte_);
  const std::string extension =
      hasExtension ? AliasPart(name.substr(dot + 1), leadByte_).substr(0, 3) : std::string();
  const std::string stem = base.empty() ? std::string("_") : base;
  std::uint32_t hash = 0x811C9DC5u;
  for (const char c : name) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 0x01000193u;
  }
  for (unsigned number = 1;; ++number) {
    // As NTFS does: four numbered tries, then two letters and a hash of the name, so that a
    // folder of many similar names does not try every number.
    char hashed[16];
    std::snprintf(hashed, sizeof hashed, "%04X~1", (hash + number) & 0xFFFF);
    const std::string tail = "~" + std::to_string(number);
    std::string alias =
        number <= 4 ? stem.substr(0, 8 - tail.size()) + tail : stem.substr(0, 2) + hashed;
    if (!extension.empty()) {
      alias += "." + extension;
    }
    const bool taken =
        std::any_of(parent.children.begin(), parent.children.end(), [&](const auto& entry) {
          return entry.first == alias || (entry.second && entry.second->shortName == alias);
        });
    if (!taken) {
      return alias;
    }
  }
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
  const Location location = Resolve(path);
  const Node* node = Find(location);
  if (!node) {
    SetLastError(static_cast<unsigned>(MissingError(location)));
    return platform::kInvalidFileAttributes;
  }
  return node->Reported();
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
      if (MatchesWildcard(mask, dots, leadByte_)) {
        found.push_back({dots, platform::kAttributeDirectory});
      }
    }
  }
  for (const auto& [folded, child] : folder->children) {
    // Where the volume makes 8.3 aliases, a pattern matches them too: "*.htm" finds
    // "page.html" through "PAGE~1.HTM".
    if (MatchesWildcard(mask, child->name, leadByte_) ||
        (!child->shortName.empty() && MatchesWildcard(mask, child->shortName, leadByte_))) {
      found.push_back({child->name, child->Reported(),
                       child->folder ? 0 : std::uint64_t{child->bytes.size()}, child->created});
    }
  }
  return found;
}

bool FileSystem::CreateDirectory(const std::string& path) {
  if (const std::optional<unsigned> error = Injected("CreateDirectoryA", path)) {
    return Fail(*error);
  }
  const Location location = Resolve(path);
  Node* parent = FindParent(location);
  if (!parent) {
    // A drive's root exists already.
    return Fail(location.valid && location.components.empty() && Find(location)
                    ? platform::kErrorAlreadyExists
                    : MissingError(location));
  }
  if (!IsValidName(location.components.back())) {
    return Fail(platform::kErrorInvalidName);
  }
  if (parent->children.count(Fold(location.components.back())) != 0) {
    return Fail(platform::kErrorAlreadyExists);
  }
  if (const long denied = DeniedError(location)) {
    return Fail(denied);
  }
  auto& slot = parent->children[Fold(location.components.back())];
  slot = NewNode(*parent, location.components.back());
  slot->folder = true;
  return true;
}

bool FileSystem::RemoveDirectory(const std::string& path) {
  if (const std::optional<unsigned> error = Injected("RemoveDirectoryA", path)) {
    return Fail(*error);
  }
  const Location location = Resolve(path);
  Node* parent = FindParent(location);
  const Node* node = Find(location);
  if (!node) {
    return Fail(MissingError(location));
  }
  if (!node->folder) {
    return Fail(platform::kErrorDirectory);
  }
  if (const long denied = DeniedError(location)) {
    return Fail(denied);
  }
  // The folder cannot be opened for deletion while a process stands in it, whatever it holds.
  if (IsCurrentFolderOfRunning(location, false)) {
    return Fail(platform::kErrorSharingViolation);
  }
  // A junction goes as a link does, whatever the folder it leads to holds: here its entries
  // stand for that folder's, which the test keeps elsewhere.
  if (!node->children.empty() && (node->attributes & platform::kAttributeReparsePoint) == 0) {
    return Fail(platform::kErrorDirNotEmpty);
  }
  if (!parent) {
    return Fail(platform::kErrorAccessDenied);  // a drive's root
  }
  parent->children.erase(Fold(location.components.back()));
  return true;
}

bool FileSystem::DeleteFile(const std::string& path) {
  if (const std::optional<unsigned> error = Injected("DeleteFileA", path)) {
    return Fail(*error);
  }
  const Location location = Resolve(path);
  Node* parent = FindParent(location);
  const Node* node = Find(location);
  if (!parent || !node) {
    return Fail(MissingError(location));
  }
  if (node->folder) {
    return Fail(platform::kErrorAccessDenied);
  }
  if (const long denied = DeniedError(location)) {
    return Fail(denied);
  }
  if (node->attributes & platform::kAttributeReadOnly) {
    return Fail(platform::kErrorAccessDenied);
  }
  // A file opened without delete sharing refuses the open for deletion; a running program's
  // file opens, but its mapped image refuses to go.
  if (node->inUse == InUse::NotRenamable) {
    return Fail(platform::kErrorSharingViolation);
  }
  if (Busy(*node)) {
    return Fail(platform::kErrorAccessDenied);
  }
  parent->children.erase(Fold(location.components.back()));
  return true;
}

std::unique_ptr<platform::TextFile> FileSystem::OpenTextFile(const std::string& path) {
  const Location location = Resolve(path);
  const Node* node = Find(location);
  if (!node || node->folder) {
    Fail(node ? platform::kErrorAccessDenied : MissingError(location));
    return nullptr;
  }
  return std::make_unique<SimTextFile>(node->bytes);
}

std::optional<std::string> FileSystem::ReadWholeFile(const std::string& path) {
  const Location location = Resolve(path);
  const Node* node = Find(location);
  if (!node || node->folder) {
    Fail(node ? platform::kErrorAccessDenied : MissingError(location));
    return std::nullopt;
  }
  return node->bytes;
}

bool FileSystem::AppendText(const std::string& path, const std::string& text) {
  if (const std::optional<unsigned> error = Injected("WriteFile", path)) {
    return Fail(*error);
  }
  const Location location = Resolve(path);
  Node* parent = FindParent(location);
  if (!parent || location.trailingSeparator) {
    return Fail(MissingError(location));
  }
  if (!IsValidName(location.components.back())) {
    return Fail(platform::kErrorInvalidName);
  }
  const auto existing = parent->children.find(Fold(location.components.back()));
  Node* node = existing == parent->children.end() ? nullptr : existing->second.get();
  if (node && node->folder) {
    return Fail(platform::kErrorAccessDenied);
  }
  if (const long denied = DeniedError(location)) {
    return Fail(denied);
  }
  if (node && (node->attributes & platform::kAttributeReadOnly)) {
    return Fail(platform::kErrorAccessDenied);
  }
  if (node && Busy(*node)) {
    return Fail(platform::kErrorSharingViolation);
  }
  // fputs writes up to the first zero.
  std::string written;
  for (char c : text.substr(0, text.find('\0'))) {
    if (c == '\n') {
      written += '\r';
    }
    written += c;
  }
  if (!node) {
    auto& slot = parent->children[Fold(location.components.back())];
    slot = NewNode(*parent, location.components.back());
    node = slot.get();
  }
  node->attributes |= platform::kAttributeArchive;
  // The file is open by now: what does not fit is lost when the stream is flushed.
  const std::uint64_t room = Room(parent->drive, 0);
  node->bytes +=
      written.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(room, written.size())));
  return written.size() <= room || Fail(platform::kErrorDiskFull);
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
    root->drive = drive;
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
      slot = NewNode(*node, component);
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
  Context& context = contexts_[acting_];
  context.drive = location.drive;
  context.folder = location.components;
}

const FileSystem::Context& FileSystem::Current() const {
  const auto context = contexts_.find(acting_);
  return context != contexts_.end() ? context->second : contexts_.at(0);
}

std::string FileSystem::Full(const Location& location) {
  std::string path = std::string(1, location.drive) + ":\\";
  for (std::size_t i = 0; i < location.components.size(); ++i) {
    path += (i > 0 ? "\\" : "") + location.components[i];
  }
  return path;
}

std::string FileSystem::CurrentFolder() const {
  Location location;
  location.drive = Current().drive;
  location.components = Current().folder;
  return Full(location);
}

std::string FileSystem::FullPath(const std::string& path) const {
  const Location location = Resolve(path);
  return location.valid ? Full(location) : std::string();
}

std::optional<std::string> FileSystem::SpelledPath(const std::string& path) const {
  const Location location = Resolve(path);
  if (!Find(location)) {
    return std::nullopt;
  }
  const Node* node = drives_.at(location.drive).get();
  std::string spelled = node->name + "\\";
  for (std::size_t i = 0; i < location.components.size(); ++i) {
    node = node->children.at(Fold(location.components[i])).get();
    spelled += (i > 0 ? "\\" : "") + node->name;
  }
  return spelled;
}

std::optional<std::string> FileSystem::ShortPath(const std::string& path) const {
  const Location location = Resolve(path);
  if (!Find(location)) {
    return std::nullopt;
  }
  const Node* node = drives_.at(location.drive).get();
  std::string spelled = node->name + "\\";
  for (std::size_t i = 0; i < location.components.size(); ++i) {
    node = node->children.at(Fold(location.components[i])).get();
    spelled += (i > 0 ? "\\" : "") + (node->shortName.empty() ? node->name : node->shortName);
  }
  return spelled;
}

void FileSystem::SetShortNames(char drive, bool made) {
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(drive)));
  if (made) {
    withoutAliases_.erase(letter);
  } else {
    withoutAliases_.insert(letter);
  }
}

void FileSystem::SubstituteDrive(char letter, const std::string& folder) {
  const Location location = Resolve(folder);
  const Node* node = Find(location);
  if (!node || !node->folder) {
    throw ScriptError("no folder to substitute a drive for: " + folder);
  }
  const char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  if (drives_.count(drive) != 0) {
    throw ScriptError(std::string("the drive exists already: ") + drive);
  }
  substitutes_[drive] = {location.drive, location.components};
}

std::optional<platform::FileIdentity> FileSystem::GetFileIdentity(const std::string& path) {
  const Node* node = Find(Resolve(path));
  if (!node) {
    return std::nullopt;
  }
  // Each volume has a serial number of its own; the node's id stays through renames, as a
  // file index does.
  return platform::FileIdentity{0x5EC70000u + static_cast<unsigned char>(node->drive), node->id};
}

bool FileSystem::Busy(const Node& node) const {
  if (node.inUse != InUse::None) {
    return true;
  }
  for (const auto& [id, context] : contexts_) {
    if (context.running && context.program == node.id) {
      return true;
    }
  }
  return false;
}

// Whether anything in the tree is held open, or is a running process's current folder: Windows
// then refuses to rename the tree's top.
bool FileSystem::BusyTree(const Node& node, const Location& location) const {
  if (node.inUse != InUse::None || Busy(node)) {
    return true;
  }
  if (node.folder && IsCurrentFolderOfRunning(location, true)) {
    return true;
  }
  for (const auto& [folded, child] : node.children) {
    Location below = location;
    below.components.push_back(child->name);
    if (BusyTree(*child, below)) {
      return true;
    }
  }
  return false;
}

bool FileSystem::IsCurrentFolderOfRunning(const Location& location, bool orBelow) const {
  for (const auto& [id, context] : contexts_) {
    if (!context.running || context.drive != location.drive ||
        context.folder.size() < location.components.size() ||
        (!orBelow && context.folder.size() != location.components.size())) {
      continue;
    }
    bool same = true;
    for (std::size_t i = 0; i < location.components.size() && same; ++i) {
      same = Fold(context.folder[i]) == Fold(location.components[i]);
    }
    if (same) {
      return true;
    }
  }
  return false;
}

bool FileSystem::SetFileAttributes(const std::string& path, std::uint32_t attributes) {
  if (const std::optional<unsigned> error = Injected("SetFileAttributesA", path)) {
    return Fail(*error);
  }
  const Location location = Resolve(path);
  Node* node = Find(location);
  if (!node) {
    return Fail(MissingError(location));
  }
  if (const long denied = DeniedError(location)) {
    return Fail(denied);
  }
  // What the volume decides, the folder and the link bits, stays as it is.
  constexpr std::uint32_t kVolumes =
      platform::kAttributeDirectory | platform::kAttributeReparsePoint;
  node->attributes = (attributes & ~(kVolumes | platform::kAttributeNormal)) |
                     (node->attributes & platform::kAttributeReparsePoint);
  return true;
}

bool FileSystem::CopyFile(const std::string& existing, const std::string& target,
                          bool failIfExists) {
  if (const std::optional<unsigned> error = Injected("CopyFileA", target)) {
    return Fail(*error);
  }
  const Location from = Resolve(existing);
  const Node* source = Find(from);
  if (!source) {
    return Fail(MissingError(from));
  }
  if (source->folder) {
    return Fail(platform::kErrorAccessDenied);
  }
  if (source->inUse == InUse::NotRenamable) {
    return Fail(platform::kErrorSharingViolation);
  }
  const Location location = Resolve(target);
  Node* parent = FindParent(location);
  if (!parent || location.trailingSeparator) {
    return Fail(MissingError(location));
  }
  if (!IsValidName(location.components.back())) {
    return Fail(platform::kErrorInvalidName);
  }
  const std::string key = Fold(location.components.back());
  const auto existingTarget = parent->children.find(key);
  Node* node = existingTarget == parent->children.end() ? nullptr : existingTarget->second.get();
  if (node) {
    if (failIfExists) {
      return Fail(platform::kErrorFileExists);
    }
    if (node == source) {
      return Fail(platform::kErrorSharingViolation);  // the copy's source is open already
    }
    // Windows refuses to overwrite a read-only or hidden file (Wine overwrites both).
    if (node->folder ||
        (node->attributes & (platform::kAttributeReadOnly | platform::kAttributeHidden))) {
      return Fail(platform::kErrorAccessDenied);
    }
  }
  if (const long denied = DeniedError(location)) {
    return Fail(denied);
  }
  if (node && Busy(*node)) {
    return Fail(platform::kErrorSharingViolation);
  }
  const std::uint64_t room = Room(parent->drive, node ? node->bytes.size() : 0);
  if (!node) {
    auto& slot = parent->children[key];
    slot = NewNode(*parent, location.components.back());
    node = slot.get();
  }
  node->attributes = source->attributes;
  if (source->bytes.size() > room) {
    // The target is made and filled until the drive is full, and stays so: no version
    // resource can be read from what is left.
    node->bytes = source->bytes.substr(0, static_cast<std::size_t>(room));
    node->version.reset();
    return Fail(platform::kErrorDiskFull);
  }
  node->bytes = source->bytes;
  node->version = source->version;
  return true;
}

bool FileSystem::MoveFileEx(const std::string& existing, const std::optional<std::string>& target,
                            std::uint32_t flags) {
  // The operations for the next start wait in the machine's part of the registry: a fault names
  // it, and a want of rights there shows only once the paths are found good.
  const bool delayed = (flags & platform::kMoveFileDelayUntilReboot) != 0;
  const std::optional<unsigned> error =
      Injected("MoveFileExA", delayed ? kLocalMachine : std::string_view(existing));
  const bool denied = delayed && error == static_cast<unsigned>(platform::kErrorAccessDenied);
  if (error && !denied) {
    return Fail(*error);
  }
  const Location from = Resolve(existing);
  if (delayed) {
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
  if (!target) {
    return Fail(platform::kErrorInvalidParameter);  // deleting waits for the system start only
  }
  const Location to = Resolve(*target);
  Node* fromParent = FindParent(from);
  Node* node = Find(from);
  if (!fromParent || !node) {
    return Fail(fromParent || !from.valid || !from.components.empty()
                    ? MissingError(from)
                    : platform::kErrorInvalidParameter);  // a drive's root
  }
  Node* toParent = FindParent(to);
  if (!toParent) {
    return Fail(MissingError(to));
  }
  if (to.drive != from.drive) {
    return Fail(platform::kErrorNotSameDevice);
  }
  if (!IsValidName(to.components.back())) {
    return Fail(platform::kErrorInvalidName);
  }
  // Renaming changes both folders: the one the name leaves and the one it goes to.
  if (const long denied = DeniedError(from)) {
    return Fail(denied);
  }
  if (const long denied = DeniedError(to)) {
    return Fail(denied);
  }
  if (node->inUse == InUse::NotRenamable ||
      (node->folder && IsCurrentFolderOfRunning(from, true))) {
    return Fail(platform::kErrorSharingViolation);
  }
  if (node->folder && BusyTree(*node, from)) {
    return Fail(platform::kErrorAccessDenied);
  }
  // A folder cannot move into its own tree.
  if (node->folder && to.components.size() > from.components.size()) {
    bool inside = true;
    for (std::size_t i = 0; i < from.components.size() && inside; ++i) {
      inside = Fold(from.components[i]) == Fold(to.components[i]);
    }
    if (inside) {
      return Fail(platform::kErrorInvalidParameter);
    }
  }
  const std::string fromKey = Fold(from.components.back());
  const std::string toKey = Fold(to.components.back());
  const auto occupant = toParent->children.find(toKey);
  if (occupant != toParent->children.end()) {
    if (occupant->second.get() == node) {
      node->name = to.components.back();  // a change of letter case only
      return true;
    }
    const Node& taken = *occupant->second;
    if (!(flags & platform::kMoveFileReplaceExisting)) {
      return Fail(platform::kErrorAlreadyExists);
    }
    if (taken.folder || node->folder || (taken.attributes & platform::kAttributeReadOnly) ||
        Busy(taken)) {
      return Fail(platform::kErrorAccessDenied);
    }
  }
  // A file that replaces another keeps the short name the name had, as NTFS's tunnelling does
  // for a name given again at once.
  const std::string tunnelled =
      occupant != toParent->children.end() ? occupant->second->shortName : std::string();
  std::unique_ptr<Node> moving = std::move(fromParent->children[fromKey]);
  fromParent->children.erase(fromKey);
  moving->name = to.components.back();
  moving->shortName.clear();  // not to be taken for a sibling's while the new one is made
  moving->shortName = tunnelled.empty() ? AliasFor(*toParent, moving->name) : tunnelled;
  toParent->children[toKey] = std::move(moving);
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

bool FileSystem::SetCurrentDirectory(const std::string& path) {
  const Location location = Resolve(path);
  const Node* node = Find(location);
  if (!node || !node->folder) {
    return Fail(node ? platform::kErrorDirectory : MissingError(location));
  }
  Context& context = contexts_[acting_];
  context.drive = location.drive;
  context.folder = location.components;
  return true;
}

std::string FileSystem::GetTempPath() {
  return tempFolder_ ? tempFolder_() : std::string("C:\\WINDOWS\\TEMP\\");
}

std::string FileSystem::GetTempFileName(const std::string& folder, const std::string& prefix) {
  if (const std::optional<unsigned> error = Injected("GetTempFileNameA", folder)) {
    SetLastError(*error);
    return {};
  }
  const Location location = Resolve(folder);
  const Node* node = Find(location);
  if (!node || !node->folder) {
    Fail(platform::kErrorDirectory);
    return {};
  }
  if (const long denied = DeniedError(location)) {
    Fail(denied);
    return {};
  }
  std::string base = folder;
  if (base.empty() || !IsSeparator(base.back())) {
    base += '\\';
  }
  base += prefix.substr(0, 3);
  // Windows takes numbers from 1 to FFFF and skips those already taken.
  for (unsigned tries = 0; tries < 0xFFFF; ++tries) {
    const unsigned number = nextTempNumber_;
    nextTempNumber_ = nextTempNumber_ % 0xFFFF + 1;
    char digits[8];
    std::snprintf(digits, sizeof digits, "%X", number);
    const std::string path = base + digits + ".tmp";
    const Location location = Resolve(path);
    Node* parent = FindParent(location);
    if (!parent) {
      Fail(MissingError(location));
      return {};
    }
    auto& slot = parent->children[Fold(location.components.back())];
    if (!slot) {
      slot = NewNode(*parent, location.components.back());
      slot->attributes = platform::kAttributeArchive;
      return path;
    }
  }
  Fail(platform::kErrorFileExists);
  return {};
}

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
  Node* parent = FindParent(location);
  if (!parent || location.trailingSeparator) {
    return Fail(MissingError(location));
  }
  if (!IsValidName(location.components.back())) {
    return Fail(platform::kErrorInvalidName);
  }
  Node* node = Find(location);
  if (node && node->folder) {
    return Fail(platform::kErrorAccessDenied);
  }
  if (const long denied = DeniedError(location)) {
    return Fail(denied);
  }
  if (node && (node->attributes & platform::kAttributeReadOnly)) {
    return Fail(platform::kErrorAccessDenied);
  }
  if (node && Busy(*node)) {
    return Fail(platform::kErrorSharingViolation);
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

void FileSystem::SetInUse(const std::string& path, InUse inUse) {
  Node* node = Find(Resolve(path));
  if (!node || node->folder) {
    throw ScriptError("no file to hold open: " + path);
  }
  node->inUse = inUse;
}

void FileSystem::SetWindowsFolderSource(std::function<std::string()> source) {
  windowsFolder_ = std::move(source);
}

void FileSystem::SetTempFolderSource(std::function<std::string()> source) {
  tempFolder_ = std::move(source);
}

void FileSystem::AddProcess(unsigned id, const std::string& startFolder) {
  Context context = contexts_.at(0);
  const Location location = Resolve(startFolder);
  const Node* node = startFolder.empty() ? nullptr : Find(location);
  if (node && node->folder) {
    context.drive = location.drive;
    context.folder = location.components;
  }
  context.running = false;
  context.program.reset();
  contexts_[id] = context;
}

void FileSystem::ProcessStarted(unsigned id, const std::string& programFile) {
  Context& context = contexts_[id];
  context.running = true;
  const Node* node = Find(Resolve(programFile));
  if (node && !node->folder) {
    context.program = node->id;
  }
}

void FileSystem::ProcessEnded(unsigned id) {
  Context& context = contexts_[id];
  context.running = false;
  context.program.reset();
}

void FileSystem::ReleaseEverything() {
  for (auto& [id, context] : contexts_) {
    context.running = false;
    context.program.reset();
  }
  const std::function<void(Node&)> release = [&](Node& node) {
    node.inUse = InUse::None;
    for (auto& [folded, child] : node.children) {
      release(*child);
    }
  };
  for (auto& [letter, root] : drives_) {
    release(*root);
  }
}

unsigned FileSystem::LastError() const {
  const auto found = lastErrors_.find(acting_);
  return found == lastErrors_.end() ? 0u : found->second;
}

std::optional<unsigned> FileSystem::Injected(std::string_view call, std::string_view object) {
  return faults_ != nullptr && acting_ != 0 ? faults_->Next(call, object, true) : std::nullopt;
}

void FileSystem::SetLastError(unsigned code) {
  lastErrors_[acting_] = code;
}

bool FileSystem::Fail(long error) {
  SetLastError(static_cast<unsigned>(error));
  return false;
}

long FileSystem::MissingError(const Location& location) const {
  if (!location.valid || drives_.count(location.drive) == 0) {
    return platform::kErrorPathNotFound;
  }
  for (const std::string& component : location.components) {
    if (!IsValidName(component)) {
      return platform::kErrorInvalidName;
    }
  }
  // "file.txt\" names a folder that is not there: the path, not the file, is missing.
  Location plain = location;
  plain.trailingSeparator = false;
  if (location.trailingSeparator && Find(plain)) {
    return platform::kErrorPathNotFound;
  }
  return FindParent(location) ? platform::kErrorFileNotFound : platform::kErrorPathNotFound;
}

long FileSystem::DeniedError(const Location& location) const {
  if (!location.valid) {
    return platform::kErrorSuccess;
  }
  for (const Denial& denial : denials_) {
    if (denial.drive != location.drive || denial.components.size() > location.components.size()) {
      continue;
    }
    bool inside = true;
    for (std::size_t i = 0; i < denial.components.size() && inside; ++i) {
      inside = denial.components[i] == Fold(location.components[i]);
    }
    if (inside) {
      return denial.error;
    }
  }
  return platform::kErrorSuccess;
}

void FileSystem::DenyChanges(const std::string& folder, long error) {
  const Location location = Resolve(folder);
  if (!location.valid) {
    throw ScriptError("not a path on a drive: " + folder);
  }
  if (error == platform::kErrorSuccess) {
    throw ScriptError("a denial needs an error code: " + folder);
  }
  AllowChanges(folder);
  std::vector<std::string> components;
  for (const std::string& component : location.components) {
    components.push_back(Fold(component));
  }
  denials_.push_back({location.drive, std::move(components), error});
}

void FileSystem::AllowChanges(const std::string& folder) {
  const Location location = Resolve(folder);
  std::erase_if(denials_, [&](const Denial& denial) {
    if (denial.drive != location.drive || denial.components.size() != location.components.size()) {
      return false;
    }
    for (std::size_t i = 0; i < denial.components.size(); ++i) {
      if (denial.components[i] != Fold(location.components[i])) {
        return false;
      }
    }
    return true;
  });
}

void FileSystem::SetDriveCapacity(char drive, std::optional<std::uint64_t> bytes) {
  if (!std::isalpha(static_cast<unsigned char>(drive))) {
    throw ScriptError(std::string("not a drive letter: ") + drive);
  }
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(drive)));
  if (bytes) {
    capacities_[letter] = *bytes;
  } else {
    capacities_.erase(letter);
  }
}

std::uint64_t FileSystem::UsedBytes(char drive) const {
  const auto root =
      drives_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(drive))));
  if (root == drives_.end()) {
    return 0;
  }
  const std::function<std::uint64_t(const Node&)> sum = [&](const Node& node) {
    std::uint64_t bytes = node.bytes.size();
    for (const auto& [folded, child] : node.children) {
      if (child) {
        bytes += sum(*child);
      }
    }
    return bytes;
  };
  return sum(*root->second);
}

std::uint64_t FileSystem::Room(char drive, std::uint64_t freed) const {
  const auto capacity = capacities_.find(drive);
  if (capacity == capacities_.end()) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  const std::uint64_t used = UsedBytes(drive);
  const std::uint64_t kept = used > freed ? used - freed : 0;
  return kept >= capacity->second ? 0 : capacity->second - kept;
}

bool FileSystem::SaveFile(const std::string& path, const std::string& bytes) {
  const Location location = Resolve(path);
  Node* parent = FindParent(location);
  if (!parent || location.trailingSeparator) {
    return Fail(MissingError(location));
  }
  if (!IsValidName(location.components.back())) {
    return Fail(platform::kErrorInvalidName);
  }
  const std::string key = Fold(location.components.back());
  const auto existing = parent->children.find(key);
  Node* node = existing == parent->children.end() ? nullptr : existing->second.get();
  if (node && node->folder) {
    return Fail(platform::kErrorAccessDenied);
  }
  if (const long denied = DeniedError(location)) {
    return Fail(denied);
  }
  if (node && (node->attributes & platform::kAttributeReadOnly)) {
    return Fail(platform::kErrorAccessDenied);
  }
  if (node && Busy(*node)) {
    return Fail(platform::kErrorSharingViolation);
  }
  const std::uint64_t room = Room(parent->drive, node ? node->bytes.size() : 0);
  if (!node) {
    auto& slot = parent->children[key];
    slot = NewNode(*parent, location.components.back());
    node = slot.get();
  }
  node->attributes |= platform::kAttributeArchive;
  node->version.reset();
  node->bytes =
      bytes.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(room, bytes.size())));
  return bytes.size() <= room || Fail(platform::kErrorDiskFull);
}

// GetFullPathNameA works on the text alone: no substituted drive is followed and no alias is
// spelled out, as the disk is not looked at.
std::string FileSystem::GetFullPathName(const std::string& path) {
  // A network path keeps its server and share; "." and ".." act below them.
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    std::vector<std::string> components;
    std::size_t start = 2;
    for (const std::size_t separator : SeparatorPositions(path, leadByte_)) {
      if (separator < start) {
        continue;
      }
      components.push_back(path.substr(start, separator - start));
      start = separator + 1;
    }
    const bool trailing = start == path.size();
    if (!trailing) {
      components.push_back(path.substr(start));
    }
    std::vector<std::string> full;
    for (std::size_t i = 0; i < components.size(); ++i) {
      const std::string& component = components[i];
      if (i >= 2 && (component == "." || component.empty())) {
        continue;
      }
      if (i >= 2 && component == "..") {
        if (full.size() > 2) {
          full.pop_back();
        }
        continue;
      }
      full.push_back(component);
    }
    std::string text = "\\\\";
    for (std::size_t i = 0; i < full.size(); ++i) {
      text += (i > 0 ? "\\" : "") + full[i];
    }
    return trailing && full.size() > 2 ? text + "\\" : text;
  }
  const Location location = Parse(path);
  if (!location.valid) {
    return {};
  }
  const std::string full = Full(location);
  return location.trailingSeparator && !location.components.empty() ? full + "\\" : full;
}

std::vector<std::string> FileSystem::Snapshot() const {
  std::vector<std::string> lines;
  char buffer[96];
  const std::function<void(const Node&, const std::string&)> walk = [&](const Node& folder,
                                                                        const std::string& path) {
    std::snprintf(buffer, sizeof buffer, " [%02X]", folder.Reported());
    lines.push_back(path + buffer);
    for (const auto& [folded, child] : folder.children) {
      if (child->folder) {
        walk(*child, path + child->name + "\\");
        continue;
      }
      // FNV-1a: equal contents show as equal, a change as a change.
      std::uint64_t hash = 0xCBF29CE484222325u;
      for (const char c : child->bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3u;
      }
      std::snprintf(buffer, sizeof buffer, " [%02X] %zu bytes, hash %016llX", child->Reported(),
                    child->bytes.size(), static_cast<unsigned long long>(hash));
      std::string line = path + child->name + buffer;
      if (child->version) {
        std::snprintf(buffer, sizeof buffer, ", version %08X.%08X", child->version->fileVersionMS,
                      child->version->fileVersionLS);
        line += buffer;
      }
      lines.push_back(line);
    }
  };
  for (const auto& [letter, root] : drives_) {
    walk(*root, root->name + "\\");
  }
  return lines;
}

std::optional<platform::FixedFileVersion> FileVersions::GetFixedFileVersion(
    const std::string& path) {
  return files_.FileVersion(path);
}

}  // namespace sim
