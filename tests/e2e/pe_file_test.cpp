// The PE reader and the version patcher on images made here byte by byte, where every field is
// known, and on the stand-in product of the Windows build.

#include "pe_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "bench.h"

namespace pe {
namespace {

constexpr std::uint32_t kSectionRva = 0x1000;
constexpr std::uint32_t kSectionOffset = 0x200;
constexpr std::uint32_t kImageBase32 = 0x400000;

void Put32(std::string& bytes, std::size_t at, std::uint32_t value) {
  if (bytes.size() < at + 4) {
    bytes.resize(at + 4, '\0');
  }
  for (int i = 0; i < 4; ++i) {
    bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
  }
}

void Put16(std::string& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<char>(value);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

// A PE image with one section that holds whatever the test puts there.
class ImageBuilder {
 public:
  // Appends bytes to the section, DWORD aligned, and returns their address in the image.
  std::uint32_t Put(std::string_view bytes) {
    section_.resize((section_.size() + 3) / 4 * 4, '\0');
    const auto rva = static_cast<std::uint32_t>(kSectionRva + section_.size());
    section_.append(bytes);
    return rva;
  }
  std::uint32_t PutName(const std::string& name) {
    return Put(std::string_view(name.c_str(), name.size() + 1));
  }

  // An import descriptor per name, then the zero descriptor; the table's address.
  std::uint32_t PutImportTable(const std::vector<std::string>& names) {
    std::string table;
    for (const std::string& name : names) {
      std::string descriptor(20, '\0');
      Put32(descriptor, 12, PutName(name));
      table += descriptor;
    }
    return Put(table + std::string(20, '\0'));
  }

  // A delay-load descriptor per name: relative (attribute bit 0) or, in the first format, a
  // virtual address.
  std::uint32_t PutDelayTable(const std::vector<std::pair<std::string, bool>>& names) {
    std::string table;
    for (const auto& [name, relative] : names) {
      std::string descriptor(32, '\0');
      const std::uint32_t rva = PutName(name);
      Put32(descriptor, 0, relative ? 1 : 0);
      Put32(descriptor, 4, relative ? rva : kImageBase32 + rva);
      table += descriptor;
    }
    return Put(table + std::string(32, '\0'));
  }

  void SetDirectory(int index, std::uint32_t rva, std::uint32_t size) {
    directories_[index] = {rva, size};
  }

  // The section's file data end with the bytes put, unless padded to the usual 512 bytes.
  std::string Build(bool pe32Plus = false, bool pad = true) const {
    std::string data = section_;
    if (pad) {
      data.resize((data.size() + 0x1FF) / 0x200 * 0x200, '\0');
    }
    const std::uint16_t optionalSize = pe32Plus ? 240 : 224;
    std::string image(kSectionOffset, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, 0x40);
    Put32(image, 0x40, 0x00004550);
    Put16(image, 0x44, pe32Plus ? 0x8664 : 0x14C);
    Put16(image, 0x46, 1);
    Put16(image, 0x54, optionalSize);
    const std::size_t optional = 0x58;
    Put16(image, optional, pe32Plus ? 0x20B : 0x10B);
    std::size_t directoryCount = optional + 92;
    if (pe32Plus) {
      Put32(image, optional + 24, 0x40000000);
      Put32(image, optional + 28, 0x1);
      directoryCount = optional + 108;
    } else {
      Put32(image, optional + 28, kImageBase32);
    }
    Put32(image, directoryCount, 16);
    for (int i = 0; i < 16; ++i) {
      Put32(image, directoryCount + 4 + 8 * i, directories_[i].first);
      Put32(image, directoryCount + 8 + 8 * i, directories_[i].second);
    }
    const std::size_t section = optional + optionalSize;
    image.replace(section, 5, ".data");
    Put32(image, section + 8, static_cast<std::uint32_t>(section_.size()));
    Put32(image, section + 12, kSectionRva);
    Put32(image, section + 16, static_cast<std::uint32_t>(data.size()));
    Put32(image, section + 20, kSectionOffset);
    return image + data;
  }

 private:
  std::string section_;
  std::pair<std::uint32_t, std::uint32_t> directories_[16] = {};
};

std::string FixedVersionBlock(std::uint32_t ms, std::uint32_t ls) {
  std::string block(52, '\0');
  Put32(block, 0, 0xFEEF04BD);
  Put32(block, 4, 0x00010000);
  Put32(block, 8, ms);
  Put32(block, 12, ls);
  Put32(block, 16, ms);
  Put32(block, 20, ls);
  return block;
}

using Names = std::vector<std::string>;

// A resource directory as windres lays it out: the type table, then one name table per type,
// then one language table per name, then the data entries. Each resource is {type, name,
// language, data address, size}.
struct ResourceSpec {
  std::uint32_t type;
  std::uint32_t name;
  std::uint32_t language;
  std::uint32_t rva;
  std::uint32_t size;
};

std::string Table(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& entries) {
  std::string table(16, '\0');
  Put16(table, 14, static_cast<std::uint16_t>(entries.size()));
  for (const auto& [id, target] : entries) {
    std::string entry(8, '\0');
    Put32(entry, 0, id);
    Put32(entry, 4, target);
    table += entry;
  }
  return table;
}

// One resource per type and name, as the program's own script makes them.
std::string ResourceDirectory(const std::vector<ResourceSpec>& resources) {
  constexpr std::uint32_t kTable = 0x80000000;
  const auto count = static_cast<std::uint32_t>(resources.size());
  const std::uint32_t rootSize = 16 + 8 * count;
  const std::uint32_t levelSize = 16 + 8;  // a table of one entry
  std::vector<std::pair<std::uint32_t, std::uint32_t>> types;
  std::string names;
  std::string languages;
  std::string data;
  for (std::uint32_t i = 0; i < count; ++i) {
    const ResourceSpec& r = resources[i];
    const std::uint32_t nameTable = rootSize + i * levelSize;
    const std::uint32_t languageTable = rootSize + count * levelSize + i * levelSize;
    const std::uint32_t dataEntry = rootSize + 2 * count * levelSize + i * 16;
    types.emplace_back(r.type, kTable | nameTable);
    names += Table({{r.name, kTable | languageTable}});
    languages += Table({{r.language, dataEntry}});
    std::string entry(16, '\0');
    Put32(entry, 0, r.rva);
    Put32(entry, 4, r.size);
    data += entry;
  }
  return Table(types) + names + languages + data;
}

TEST(PeImportsTest, ListsBothDirectoriesInTheirOrder) {
  ImageBuilder builder;
  builder.SetDirectory(1, builder.PutImportTable({"KERNEL32.dll", "USER32.dll", "msvcrt.dll"}), 80);
  builder.SetDirectory(13, builder.PutDelayTable({{"dwmapi.dll", true}, {"uxtheme.dll", false}}),
                       96);
  std::string error;
  const std::optional<Imports> imports = ReadImports(builder.Build(), error);
  ASSERT_TRUE(imports) << error;
  EXPECT_EQ(imports->libraries, (Names{"KERNEL32.dll", "USER32.dll", "msvcrt.dll"}));
  // The second uses the first delay-load format, with addresses rather than offsets.
  EXPECT_EQ(imports->delayLoaded, (Names{"dwmapi.dll", "uxtheme.dll"}));
}

TEST(PeImportsTest, ReadsSixtyFourBitImages) {
  ImageBuilder builder;
  builder.SetDirectory(1, builder.PutImportTable({"KERNEL32.dll", "VERSION.dll"}), 60);
  std::string error;
  const std::optional<Imports> imports = ReadImports(builder.Build(true), error);
  ASSERT_TRUE(imports) << error;
  EXPECT_EQ(imports->libraries, (Names{"KERNEL32.dll", "VERSION.dll"}));
}

TEST(PeImportsTest, AnImageWithoutImportsHasEmptyLists) {
  ImageBuilder builder;
  builder.Put("data");
  std::string error;
  const std::optional<Imports> imports = ReadImports(builder.Build(), error);
  ASSERT_TRUE(imports) << error;
  EXPECT_TRUE(imports->libraries.empty());
  EXPECT_TRUE(imports->delayLoaded.empty());
}

TEST(PeImportsTest, DamagedImagesAreRejectedNotMisread) {
  std::string error;
  EXPECT_FALSE(ReadImports("", error));
  EXPECT_FALSE(ReadImports(std::string(4096, 'M'), error));

  ImageBuilder good;
  good.SetDirectory(1, good.PutImportTable({"KERNEL32.dll"}), 40);
  std::string image = good.Build();
  ASSERT_TRUE(ReadImports(image, error)) << error;
  // Every cut of the file loses the import table with the section's end: never a shorter list.
  for (std::size_t length = 0; length < image.size(); ++length) {
    EXPECT_FALSE(ReadImports(std::string_view(image).substr(0, length), error)) << length;
  }

  std::string badPeOffset = image;
  Put32(badPeOffset, 0x3C, 0xFFFFFFF0);
  EXPECT_FALSE(ReadImports(badPeOffset, error));
  EXPECT_EQ(error, "no PE signature at the offset the DOS header names");

  ImageBuilder outside;
  std::string descriptor(20, '\0');
  Put32(descriptor, 12, 0x7000);
  outside.SetDirectory(1, outside.Put(descriptor + std::string(20, '\0')), 40);
  EXPECT_FALSE(ReadImports(outside.Build(), error));
  EXPECT_EQ(error, "a library name lies outside the file's sections");

  // A table that runs to the end of its section without its zero descriptor.
  ImageBuilder unterminated;
  const std::uint32_t name = unterminated.PutName("KERNEL32.dll");
  Put32(descriptor, 12, name);
  unterminated.SetDirectory(1, unterminated.Put(descriptor), 20);
  EXPECT_FALSE(ReadImports(unterminated.Build(false, false), error));
  EXPECT_EQ(error, "an import table does not end before its section does");

  // A name that runs to the end of its section without its zero.
  ImageBuilder open;
  std::string openDescriptor(20, '\0');
  Put32(openDescriptor, 12, kSectionRva + 40);
  open.SetDirectory(1, open.Put(openDescriptor + std::string(20, '\0')), 40);
  open.Put("KERNEL32.dll");
  EXPECT_FALSE(ReadImports(open.Build(false, false), error));
  EXPECT_EQ(error, "a library name is not terminated");
}

TEST(PeMentionedLibrariesTest, FindsEachNameOnceWithoutItsFolder) {
  using namespace std::string_literals;
  const std::string bytes = "\x01\x02LoadLibrary\0C:\\Windows\\System32\\VERSION.DLL\0"s +
                            "\xFF"
                            "dwmapi.dll\0a.dllx not-a-dll .dll again VERSION.DLL"s;
  EXPECT_EQ(MentionedLibraries(bytes), (Names{"VERSION.DLL", "dwmapi.dll"}));
}

TEST(PeResourcesTest, ReadsTheDataOfEveryResourceOfOneType) {
  ImageBuilder builder;
  const std::string manifest = "<assembly/>";
  const std::uint32_t manifestRva = builder.Put(manifest);
  const std::uint32_t otherRva = builder.Put("<other/>");
  const std::uint32_t iconRva = builder.Put("icon bytes");
  const std::string directory = ResourceDirectory({{3, 1, 1033, iconRva, 10},
                                                   {kManifestResource, 1, 1033, manifestRva, 11},
                                                   {kManifestResource, 2, 0, otherRva, 8}});
  builder.SetDirectory(2, builder.Put(directory), static_cast<std::uint32_t>(directory.size()));
  const std::string image = builder.Build();
  std::string error;

  EXPECT_EQ(ReadResources(image, kManifestResource, error), (Names{"<assembly/>", "<other/>"}))
      << error;
  EXPECT_EQ(ReadResources(image, 3, error), Names{"icon bytes"}) << error;
  EXPECT_EQ(ReadResources(image, 16, error), Names{}) << error;

  ImageBuilder bare;
  bare.Put("data");
  EXPECT_EQ(ReadResources(bare.Build(), kManifestResource, error), Names{}) << error;
}

TEST(PeResourcesTest, DamagedResourceDirectoriesAreRejectedNotMisread) {
  std::string error;
  const auto imageWith = [](const std::vector<ResourceSpec>& resources, std::uint32_t cut = 0) {
    ImageBuilder builder;
    const std::string directory = ResourceDirectory(resources);
    builder.SetDirectory(2, builder.Put(directory),
                         static_cast<std::uint32_t>(directory.size()) - cut);
    return builder.Build();
  };
  EXPECT_FALSE(ReadResources(imageWith({{kManifestResource, 1, 1033, 0x9000, 4}}),
                             kManifestResource, error));
  EXPECT_EQ(error, "a resource's data lies outside the file's sections");
  // Data that runs past its section's file data.
  EXPECT_FALSE(ReadResources(imageWith({{kManifestResource, 1, 1033, kSectionRva, 0x10000}}),
                             kManifestResource, error));
  // A directory whose stated size ends before its last data entry.
  EXPECT_FALSE(ReadResources(imageWith({{kManifestResource, 1, 1033, kSectionRva, 4}}, 12),
                             kManifestResource, error));
  EXPECT_EQ(error, "a resource's data entry is missing");

  // A type entry that leads straight to data.
  ImageBuilder leaf;
  std::string entry(16, '\0');
  Put32(entry, 0, kSectionRva);
  Put32(entry, 4, 4);
  const std::string directory = Table({{kManifestResource, 24}}) + entry;
  leaf.SetDirectory(2, leaf.Put(directory), static_cast<std::uint32_t>(directory.size()));
  EXPECT_FALSE(ReadResources(leaf.Build(), kManifestResource, error));
  EXPECT_EQ(error, "a resource entry names data where a table belongs");
}

TEST(PeFixedVersionTest, PatchesTheFourWordsOfTheResourceOnly) {
  ImageBuilder builder;
  // The same signature outside the resource data is some other data and stays.
  const std::uint32_t decoy = builder.Put(FixedVersionBlock(0x00060001, 0x00020003));
  builder.Put(std::string(2, '\0'));
  const std::uint32_t resources = builder.Put(std::string(40, '\x55'));
  builder.Put(FixedVersionBlock(pe::VersionMS(6, 30), pe::VersionLS(2, 0)));
  builder.Put(std::string(16, '\x55'));
  builder.SetDirectory(2, resources, 40 + 52 + 16);
  const std::string original = builder.Build();
  ASSERT_GT(decoy, 0u);

  ASSERT_EQ(ReadFixedVersions(original),
            (std::vector<FixedVersion>{{0x0006001E, 0x00020000, 0x0006001E, 0x00020000}}));
  std::string patched = original;
  const FixedVersion wanted{VersionMS(7, 65535), VersionLS(300, 1), VersionMS(7, 1),
                            VersionLS(0, 9)};
  ASSERT_EQ(SetFixedVersion(patched, wanted), 1);
  EXPECT_EQ(ReadFixedVersions(patched), std::vector<FixedVersion>{wanted});
  ASSERT_EQ(patched.size(), original.size());
  int changed = 0;
  for (std::size_t i = 0; i < original.size(); ++i) {
    changed += patched[i] != original[i] ? 1 : 0;
  }
  EXPECT_LE(changed, 16);
}

TEST(PeFixedVersionTest, AnImageWithoutVersionStaysUnchanged) {
  ImageBuilder builder;
  builder.SetDirectory(2, builder.Put(std::string(64, '\x11')), 64);
  const std::string original = builder.Build();
  std::string image = original;
  EXPECT_EQ(SetFixedVersion(image, FixedVersion{1, 2, 3, 4}), 0);
  EXPECT_EQ(image, original);
  std::string notAnImage = "MZ but nothing else";
  EXPECT_EQ(SetFixedVersion(notAnImage, FixedVersion{1, 2, 3, 4}), 0);
}

TEST(PeFixedVersionTest, ThePatchedStandInCarriesTheNewVersion) {
  const std::string path = std::string(E2E_WIN32_BUILD_DIR) + "/Pictv6.exe";
  const std::optional<std::string> image = ReadFile(path);
  if (!image) {
    if (e2e::InCi()) {
      FAIL() << path << " is missing: build the win32 preset first";
    }
    GTEST_SKIP() << path << " is missing: build the win32 preset first";
  }
  const std::vector<FixedVersion> versions = ReadFixedVersions(*image);
  ASSERT_EQ(versions.size(), 1u) << "Pictv6.exe should have exactly one version resource";
  std::string patched = *image;
  const FixedVersion wanted{VersionMS(9, 8), VersionLS(7, 6), VersionMS(9, 8), VersionLS(7, 6)};
  ASSERT_EQ(SetFixedVersion(patched, wanted), 1);
  EXPECT_EQ(ReadFixedVersions(patched), std::vector<FixedVersion>{wanted});
  std::string error;
  const std::optional<Imports> before = ReadImports(*image, error);
  const std::optional<Imports> after = ReadImports(patched, error);
  ASSERT_TRUE(before && after) << error;
  EXPECT_EQ(after->libraries, before->libraries);
}

}  // namespace
}  // namespace pe
