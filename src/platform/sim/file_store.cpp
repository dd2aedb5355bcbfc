// The store of the simulated file system: drives, folders and files with their attributes,
// contents and versions, what processes hold open or stand in, each file's identity, each
// drive's capacity and the folders denied to changes.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <limits>

#include "platform/sim/file_nodes.h"
#include "platform/sim/file_system.h"
#include "platform/sim/user.h"

namespace sim {

using grammar::IsSeparator;
using platform::FoundFile;

std::uint64_t NextNodeId() {
  static std::uint64_t next = 1;
  return next++;
}

namespace {

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

FileSystem::FileSystem() {
  AddDrive('C');
}

FileSystem::~FileSystem() = default;

std::unique_ptr<FileSystem::Node> FileSystem::NewNode(const Node& parent,
                                                      const std::string& name) const {
  auto node = std::make_unique<Node>();
  node->name = name;
  node->drive = parent.drive;
  node->shortName = AliasFor(parent, name);
  return node;
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
  long refused = 0;
  Node* parent = FolderForEntry(location, refused);
  if (!parent) {
    return Fail(refused);
  }
  const auto existing = parent->children.find(Fold(location.components.back()));
  Node* node = existing == parent->children.end() ? nullptr : existing->second.get();
  if (const long refused = WriteRefusal(location, node)) {
    return Fail(refused);
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
  long refused = 0;
  Node* parent = FolderForEntry(location, refused);
  if (!parent) {
    return Fail(refused);
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
  if ((flags & platform::kMoveFileDelayUntilReboot) != 0) {
    return DelayMove(existing, target, flags);
  }
  if (const std::optional<unsigned> error = Injected("MoveFileExA", existing)) {
    return Fail(*error);
  }
  const Location from = Resolve(existing);
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

FileSystem::Node* FileSystem::FolderForEntry(const Location& location, long& refused) const {
  Node* parent = FindParent(location);
  if (!parent || location.trailingSeparator) {
    refused = MissingError(location);
    return nullptr;
  }
  if (!IsValidName(location.components.back())) {
    refused = platform::kErrorInvalidName;
    return nullptr;
  }
  return parent;
}

long FileSystem::WriteRefusal(const Location& location, const Node* node) const {
  if (node && node->folder) {
    return platform::kErrorAccessDenied;
  }
  if (const long denied = DeniedError(location)) {
    return denied;
  }
  if (node && (node->attributes & platform::kAttributeReadOnly)) {
    return platform::kErrorAccessDenied;
  }
  if (node && Busy(*node)) {
    return platform::kErrorSharingViolation;
  }
  return 0;
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
  long refused = 0;
  Node* parent = FolderForEntry(location, refused);
  if (!parent) {
    return Fail(refused);
  }
  const std::string key = Fold(location.components.back());
  const auto existing = parent->children.find(key);
  Node* node = existing == parent->children.end() ? nullptr : existing->second.get();
  if (const long refused = WriteRefusal(location, node)) {
    return Fail(refused);
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
