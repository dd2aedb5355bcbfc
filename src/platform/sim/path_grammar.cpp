// The path grammar of the simulated file system: how a path's text is taken apart into a drive
// and names, made full against the current folder, led through substituted drives and spelled
// back, with the 8.3 aliases a volume makes and the wildcards FindFirstFile matches.
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/sim/file_nodes.h"
#include "platform/sim/file_system.h"
#include "platform/sim/user.h"

namespace sim {
namespace grammar {

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

}  // namespace grammar

using grammar::Characters;
using grammar::IsSeparator;
using grammar::SeparatorPositions;

namespace {

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

}  // namespace

bool MatchesWildcard(const std::string& pattern, const std::string& name,
                     const LeadByte& leadByte) {
  std::vector<std::string> foldedPattern = Characters(grammar::Fold(pattern, leadByte), leadByte);
  const std::vector<std::string> foldedName = Characters(grammar::Fold(name, leadByte), leadByte);
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
  return grammar::Fold(name, leadByte_);
}

bool FileSystem::IsValidName(const std::string& name) const {
  return grammar::IsValidName(name, leadByte_);
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

// The walk both spellings share: the full path of what lies there, each name as the disk keeps
// it or, with `aliases`, by its 8.3 alias where it has one.
std::optional<std::string> FileSystem::Spell(const std::string& path, bool aliases) const {
  const Location location = Resolve(path);
  if (!Find(location)) {
    return std::nullopt;
  }
  const Node* node = drives_.at(location.drive).get();
  std::string spelled = node->name + "\\";
  for (std::size_t i = 0; i < location.components.size(); ++i) {
    node = node->children.at(Fold(location.components[i])).get();
    const bool alias = aliases && !node->shortName.empty();
    spelled += (i > 0 ? "\\" : "") + (alias ? node->shortName : node->name);
  }
  return spelled;
}

std::optional<std::string> FileSystem::SpelledPath(const std::string& path) const {
  return Spell(path, false);
}

std::optional<std::string> FileSystem::ShortPath(const std::string& path) const {
  return Spell(path, true);
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

}  // namespace sim
