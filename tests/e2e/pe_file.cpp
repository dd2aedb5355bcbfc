#include "pe_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace pe {
namespace {

constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr std::uint16_t kPe32 = 0x10B;
constexpr std::uint16_t kPe32Plus = 0x20B;
constexpr std::uint32_t kImportDirectory = 1;
constexpr std::uint32_t kResourceDirectory = 2;
constexpr std::uint32_t kDelayImportDirectory = 13;
constexpr std::uint32_t kFixedVersionSignature = 0xFEEF04BD;
constexpr std::uint32_t kFixedVersionStructure = 0x00010000;
constexpr std::size_t kImportDescriptorSize = 20;
constexpr std::size_t kDelayDescriptorSize = 32;
// Library names are file names; anything longer is a damaged image.
constexpr std::size_t kLongestName = 260;

bool Read16(std::string_view bytes, std::size_t offset, std::uint16_t& value) {
  if (offset > bytes.size() || bytes.size() - offset < 2) {
    return false;
  }
  value = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[offset]) |
                                     static_cast<unsigned char>(bytes[offset + 1]) << 8);
  return true;
}

bool Read32(std::string_view bytes, std::size_t offset, std::uint32_t& value) {
  std::uint16_t low = 0;
  std::uint16_t high = 0;
  if (!Read16(bytes, offset, low) || !Read16(bytes, offset + 2, high)) {
    return false;
  }
  value = static_cast<std::uint32_t>(high) << 16 | low;
  return true;
}

void Write32(std::string& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes[offset + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i) & 0xFF);
  }
}

struct Section {
  std::uint32_t virtualAddress = 0;
  std::uint32_t virtualSize = 0;
  std::uint32_t rawSize = 0;
  std::uint32_t rawOffset = 0;
};

struct DataDirectory {
  std::uint32_t rva = 0;
  std::uint32_t size = 0;
};

// The headers of an image, as far as the readers below need them.
class Headers {
 public:
  bool Parse(std::string_view image, std::string& error) {
    image_ = image;
    std::uint32_t peOffset = 0;
    if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z' || !Read32(image, 0x3C, peOffset)) {
      error = "no DOS header";
      return false;
    }
    std::uint32_t signature = 0;
    std::uint16_t sectionCount = 0;
    std::uint16_t optionalSize = 0;
    std::uint16_t magic = 0;
    if (!Read32(image, peOffset, signature) || signature != kPeSignature) {
      error = "no PE signature at the offset the DOS header names";
      return false;
    }
    const std::size_t fileHeader = std::size_t{peOffset} + 4;
    const std::size_t optional = fileHeader + 20;
    if (!Read16(image, fileHeader + 2, sectionCount) ||
        !Read16(image, fileHeader + 16, optionalSize) || !Read16(image, optional, magic)) {
      error = "PE header cut short";
      return false;
    }
    std::size_t directoryCountAt = 0;
    if (magic == kPe32) {
      std::uint32_t base = 0;
      if (!Read32(image, optional + 28, base)) {
        error = "optional header cut short";
        return false;
      }
      imageBase_ = base;
      directoryCountAt = optional + 92;
    } else if (magic == kPe32Plus) {
      std::uint32_t low = 0;
      std::uint32_t high = 0;
      if (!Read32(image, optional + 24, low) || !Read32(image, optional + 28, high)) {
        error = "optional header cut short";
        return false;
      }
      imageBase_ = std::uint64_t{high} << 32 | low;
      directoryCountAt = optional + 108;
    } else {
      error = "unknown optional header kind";
      return false;
    }
    std::uint32_t directoryCount = 0;
    if (directoryCountAt + 4 > optional + optionalSize ||
        !Read32(image, directoryCountAt, directoryCount)) {
      error = "optional header cut short";
      return false;
    }
    for (std::uint32_t i = 0; i < directoryCount && i < 16; ++i) {
      const std::size_t at = directoryCountAt + 4 + std::size_t{i} * 8;
      DataDirectory entry;
      if (at + 8 > optional + optionalSize || !Read32(image, at, entry.rva) ||
          !Read32(image, at + 4, entry.size)) {
        error = "data directories cut short";
        return false;
      }
      directories_.push_back(entry);
    }
    const std::size_t sectionTable = optional + optionalSize;
    for (std::uint16_t i = 0; i < sectionCount; ++i) {
      const std::size_t at = sectionTable + std::size_t{i} * 40;
      Section section;
      if (!Read32(image, at + 8, section.virtualSize) ||
          !Read32(image, at + 12, section.virtualAddress) ||
          !Read32(image, at + 16, section.rawSize) || !Read32(image, at + 20, section.rawOffset)) {
        error = "section table cut short";
        return false;
      }
      sections_.push_back(section);
    }
    return true;
  }

  DataDirectory Directory(std::uint32_t index) const {
    return index < directories_.size() ? directories_[index] : DataDirectory{};
  }

  std::uint64_t ImageBase() const { return imageBase_; }

  // The file offset of an address in the loaded image, and how many bytes from there on lie
  // in the same section's file data. nullopt when the address has no bytes in the file.
  std::optional<std::size_t> Offset(std::uint64_t rva, std::size_t* available = nullptr) const {
    for (const Section& section : sections_) {
      const std::uint64_t extent = section.virtualSize != 0 ? section.virtualSize : section.rawSize;
      if (rva < section.virtualAddress || rva - section.virtualAddress >= extent) {
        continue;
      }
      const std::uint64_t into = rva - section.virtualAddress;
      const std::uint64_t end = std::uint64_t{section.rawOffset} + section.rawSize;
      const std::uint64_t offset = section.rawOffset + into;
      // The tail of a section beyond its file data is zero filled in memory: nothing to read.
      if (into >= section.rawSize || end > image_.size()) {
        return std::nullopt;
      }
      if (available != nullptr) {
        *available = static_cast<std::size_t>(end - offset);
      }
      return static_cast<std::size_t>(offset);
    }
    return std::nullopt;
  }

  bool Name(std::uint64_t rva, std::string& name, std::string& error) const {
    std::size_t available = 0;
    const std::optional<std::size_t> offset = Offset(rva, &available);
    if (!offset) {
      error = "a library name lies outside the file's sections";
      return false;
    }
    const std::string_view rest = image_.substr(*offset, available);
    const std::size_t end = rest.find('\0');
    if (end == std::string_view::npos || end > kLongestName) {
      error = "a library name is not terminated";
      return false;
    }
    if (end == 0) {
      error = "a library name is empty";
      return false;
    }
    name = rest.substr(0, end);
    return true;
  }

 private:
  std::string_view image_;
  std::uint64_t imageBase_ = 0;
  std::vector<DataDirectory> directories_;
  std::vector<Section> sections_;
};

bool AllZero(std::string_view bytes) {
  return bytes.find_first_not_of('\0') == std::string_view::npos;
}

// Walks a table of descriptors that ends with one of all zeros, calling `take` with each one.
template <typename Take>
bool WalkDescriptors(std::string_view image, const Headers& headers, DataDirectory directory,
                     std::size_t descriptorSize, std::string& error, Take take) {
  if (directory.rva == 0) {
    return true;
  }
  std::size_t available = 0;
  const std::optional<std::size_t> offset = headers.Offset(directory.rva, &available);
  if (!offset) {
    error = "an import table lies outside the file's sections";
    return false;
  }
  for (std::size_t at = 0;; at += descriptorSize) {
    if (at > available || available - at < descriptorSize) {
      error = "an import table does not end before its section does";
      return false;
    }
    const std::string_view descriptor = image.substr(*offset + at, descriptorSize);
    if (AllZero(descriptor)) {
      return true;
    }
    if (!take(descriptor)) {
      return false;
    }
  }
}

}  // namespace

std::optional<Imports> ReadImports(std::string_view image, std::string& error) {
  Headers headers;
  if (!headers.Parse(image, error)) {
    return std::nullopt;
  }
  Imports imports;
  const bool importsRead =
      WalkDescriptors(image, headers, headers.Directory(kImportDirectory), kImportDescriptorSize,
                      error, [&](std::string_view descriptor) {
                        std::uint32_t nameRva = 0;
                        Read32(descriptor, 12, nameRva);
                        std::string name;
                        if (!headers.Name(nameRva, name, error)) {
                          return false;
                        }
                        imports.libraries.push_back(std::move(name));
                        return true;
                      });
  if (!importsRead) {
    return std::nullopt;
  }
  const bool delayRead =
      WalkDescriptors(image, headers, headers.Directory(kDelayImportDirectory),
                      kDelayDescriptorSize, error, [&](std::string_view descriptor) {
                        std::uint32_t attributes = 0;
                        std::uint32_t nameAddress = 0;
                        Read32(descriptor, 0, attributes);
                        Read32(descriptor, 4, nameAddress);
                        // The first delay-load format held virtual addresses; the attribute bit
                        // marks the relative ones that every linker writes now.
                        std::uint64_t nameRva = nameAddress;
                        if ((attributes & 1) == 0) {
                          if (nameAddress < headers.ImageBase()) {
                            error = "a delay-load name address lies below the image base";
                            return false;
                          }
                          nameRva = nameAddress - headers.ImageBase();
                        }
                        std::string name;
                        if (!headers.Name(nameRva, name, error)) {
                          return false;
                        }
                        imports.delayLoaded.push_back(std::move(name));
                        return true;
                      });
  if (!delayRead) {
    return std::nullopt;
  }
  return imports;
}

namespace {

bool IsFileNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.';
}

bool IsDllSuffix(std::string_view text, std::size_t at) {
  static constexpr std::string_view kSuffix = ".dll";
  if (text.size() - at < kSuffix.size()) {
    return false;
  }
  for (std::size_t i = 0; i < kSuffix.size(); ++i) {
    char c = text[at + i];
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
    if (c != kSuffix[i]) {
      return false;
    }
  }
  return true;
}

void CollectDllNames(std::string_view text, std::vector<std::string>& names) {
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (!IsDllSuffix(text, at)) {
      continue;
    }
    const std::size_t end = at + 4;
    if (end < text.size() && IsFileNameCharacter(text[end])) {
      continue;
    }
    std::size_t start = at;
    while (start > 0 && IsFileNameCharacter(text[start - 1])) {
      --start;
    }
    if (start == at) {
      continue;
    }
    std::string name(text.substr(start, end - start));
    if (std::find(names.begin(), names.end(), name) == names.end()) {
      names.push_back(std::move(name));
    }
  }
}

}  // namespace

std::vector<std::string> MentionedLibraries(std::string_view image) {
  std::vector<std::string> names;
  CollectDllNames(image, names);
  return names;
}

namespace {

// File offsets of the fixed version blocks in the resource data. The block is DWORD aligned
// in its resource, and the structure version that follows the signature makes a chance match
// in other data unlikely.
std::vector<std::size_t> FixedVersionOffsets(std::string_view image) {
  std::vector<std::size_t> found;
  Headers headers;
  std::string error;
  if (!headers.Parse(image, error)) {
    return found;
  }
  const DataDirectory resources = headers.Directory(kResourceDirectory);
  std::size_t available = 0;
  const std::optional<std::size_t> start =
      resources.rva != 0 ? headers.Offset(resources.rva, &available) : std::nullopt;
  if (!start) {
    return found;
  }
  const std::size_t end = *start + std::min<std::size_t>(available, resources.size);
  for (std::size_t at = *start + (4 - *start % 4) % 4; at + 24 <= end; at += 4) {
    std::uint32_t signature = 0;
    std::uint32_t structure = 0;
    Read32(image, at, signature);
    Read32(image, at + 4, structure);
    if (signature == kFixedVersionSignature && structure == kFixedVersionStructure) {
      found.push_back(at);
    }
  }
  return found;
}

}  // namespace

std::vector<FixedVersion> ReadFixedVersions(std::string_view image) {
  std::vector<FixedVersion> versions;
  for (std::size_t at : FixedVersionOffsets(image)) {
    FixedVersion version;
    Read32(image, at + 8, version.fileVersionMS);
    Read32(image, at + 12, version.fileVersionLS);
    Read32(image, at + 16, version.productVersionMS);
    Read32(image, at + 20, version.productVersionLS);
    versions.push_back(version);
  }
  return versions;
}

int SetFixedVersion(std::string& image, const FixedVersion& version) {
  const std::vector<std::size_t> offsets = FixedVersionOffsets(image);
  for (std::size_t at : offsets) {
    Write32(image, at + 8, version.fileVersionMS);
    Write32(image, at + 12, version.fileVersionLS);
    Write32(image, at + 16, version.productVersionMS);
    Write32(image, at + 20, version.productVersionLS);
  }
  return static_cast<int>(offsets.size());
}

namespace {

constexpr std::size_t kResourceDirectorySize = 16;
constexpr std::size_t kResourceEntrySize = 8;
constexpr std::uint32_t kSubdirectoryBit = 0x80000000;
constexpr std::uint32_t kNamedEntryBit = 0x80000000;

// The resource directory as the loader walks it: type, then name or number, then language, each
// level a table of entries whose offsets count from the directory's start.
class ResourceWalker {
 public:
  ResourceWalker(std::string_view image, const Headers& headers, std::string& error)
      : image_(image), headers_(headers), error_(error) {}

  bool Start(DataDirectory directory) {
    if (directory.rva == 0) {
      return true;
    }
    std::size_t available = 0;
    const std::optional<std::size_t> start = headers_.Offset(directory.rva, &available);
    if (!start) {
      error_ = "the resource directory lies outside the file's sections";
      return false;
    }
    directory_ = image_.substr(*start, std::min<std::size_t>(available, directory.size));
    return true;
  }

  bool Empty() const { return directory_.empty(); }

  // Calls `take(id, named, offset)` for each entry of the table at `offset`; `offset` of an
  // entry keeps its subdirectory bit.
  template <typename Take>
  bool Entries(std::uint32_t offset, Take take) {
    std::uint16_t named = 0;
    std::uint16_t numbered = 0;
    if (!Read16(directory_, std::size_t{offset} + 12, named) ||
        !Read16(directory_, std::size_t{offset} + 14, numbered)) {
      error_ = "a resource table lies outside the resource directory";
      return false;
    }
    for (std::size_t i = 0; i < std::size_t{named} + numbered; ++i) {
      const std::size_t at = offset + kResourceDirectorySize + i * kResourceEntrySize;
      std::uint32_t name = 0;
      std::uint32_t target = 0;
      if (!Read32(directory_, at, name) || !Read32(directory_, at + 4, target)) {
        error_ = "a resource table runs past the resource directory";
        return false;
      }
      if (!take(name & ~kNamedEntryBit, (name & kNamedEntryBit) != 0, target)) {
        return false;
      }
    }
    return true;
  }

  // The table a directory entry leads to; false when the entry is a leaf.
  bool Table(std::uint32_t target, std::uint32_t& table) {
    if ((target & kSubdirectoryBit) == 0) {
      error_ = "a resource entry names data where a table belongs";
      return false;
    }
    // The walk goes three levels deep whatever the offsets say, so a table that points back
    // is read again but cannot loop.
    table = target & ~kSubdirectoryBit;
    return true;
  }

  bool Data(std::uint32_t target, std::string& data) {
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
    if ((target & kSubdirectoryBit) != 0 || !Read32(directory_, target, rva) ||
        !Read32(directory_, std::size_t{target} + 4, size)) {
      error_ = "a resource's data entry is missing";
      return false;
    }
    std::size_t available = 0;
    const std::optional<std::size_t> offset = headers_.Offset(rva, &available);
    if (!offset || available < size) {
      error_ = "a resource's data lies outside the file's sections";
      return false;
    }
    data = image_.substr(*offset, size);
    return true;
  }

 private:
  std::string_view image_;
  const Headers& headers_;
  std::string& error_;
  std::string_view directory_;
};

}  // namespace

std::optional<std::vector<std::string>> ReadResources(std::string_view image, std::uint16_t type,
                                                      std::string& error) {
  Headers headers;
  if (!headers.Parse(image, error)) {
    return std::nullopt;
  }
  ResourceWalker walker(image, headers, error);
  std::vector<std::string> found;
  if (!walker.Start(headers.Directory(kResourceDirectory))) {
    return std::nullopt;
  }
  if (walker.Empty()) {
    return found;
  }
  const bool read = walker.Entries(0, [&](std::uint32_t id, bool named, std::uint32_t target) {
    std::uint32_t names = 0;
    if (named || id != type) {
      return true;
    }
    return walker.Table(target, names) &&
           walker.Entries(names, [&](std::uint32_t, bool, std::uint32_t nameTarget) {
             std::uint32_t languages = 0;
             return walker.Table(nameTarget, languages) &&
                    walker.Entries(languages, [&](std::uint32_t, bool, std::uint32_t leaf) {
                      std::string data;
                      if (!walker.Data(leaf, data)) {
                        return false;
                      }
                      found.push_back(std::move(data));
                      return true;
                    });
           });
  });
  if (!read) {
    return std::nullopt;
  }
  return found;
}

std::optional<std::string> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    return std::nullopt;
  }
  return bytes;
}

bool WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

}  // namespace pe
