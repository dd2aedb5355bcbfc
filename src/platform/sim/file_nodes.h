// What the parts of the simulated file system share: the tree of nodes, a path taken apart,
// and the rules by which a path's text falls into characters and names. Only the file system's
// own sources include it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/file_system.h"
#include "platform/sim/system.h"

namespace sim {

// A number no node had before: what a hold names, through renames too.
std::uint64_t NextNodeId();

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

// The path grammar's rules on text, for the file system's parts.
namespace grammar {

bool IsSeparator(char c);
// The characters of a text: a lead byte of the code page and the byte after it are one.
std::vector<std::string> Characters(const std::string& text, const LeadByte& leadByte);
// Windows compares names by upper-casing them; only ASCII letters are folded here, and never
// the second byte of a double-byte character.
std::string Fold(const std::string& name, const LeadByte& leadByte);
bool IsValidName(const std::string& name, const LeadByte& leadByte);
// Where the separators of a path are, stepping by characters.
std::vector<std::size_t> SeparatorPositions(const std::string& path, const LeadByte& leadByte);

}  // namespace grammar
}  // namespace sim
