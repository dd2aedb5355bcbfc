// Reading and patching Windows program files (PE images) as bytes, for tests on either side:
// the host tests check the Windows build's files with it, and the Windows tests make copies of
// the stand-in product with other versions. Plain C++ without exceptions, so that it builds in
// both presets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pe {

// The libraries a program names for the loader, in the order the image lists them.
struct Imports {
  std::vector<std::string> libraries;    // the import directory: loaded before the program runs
  std::vector<std::string> delayLoaded;  // the delay-load directory: loaded at the first call
};

// The library names of the image's import and delay-load directories. nullopt when the bytes
// are not a well-formed PE image, with `error` saying what is wrong; an image without either
// directory gives empty lists.
std::optional<Imports> ReadImports(std::string_view image, std::string& error);

// Every file name ending in ".dll" (any letter case) that the image's bytes spell out as ANSI
// text, without any folder before it; each name once, in the order first met. It
// finds the libraries a program names for LoadLibrary and those of delay-load tables a linker
// left out of the delay-load directory (GNU ld does, for dlltool's delay-load libraries).
std::vector<std::string> MentionedLibraries(std::string_view image);

// The fixed version information of a version resource: the file version's two words and the
// product version's two.
struct FixedVersion {
  std::uint32_t fileVersionMS = 0;
  std::uint32_t fileVersionLS = 0;
  std::uint32_t productVersionMS = 0;
  std::uint32_t productVersionLS = 0;
  bool operator==(const FixedVersion&) const = default;
};

// The words of 1.2.3.4: {0x00010002, 0x00030004}.
constexpr std::uint32_t VersionMS(std::uint16_t major, std::uint16_t minor) {
  return static_cast<std::uint32_t>(major) << 16 | minor;
}
constexpr std::uint32_t VersionLS(std::uint16_t build, std::uint16_t revision) {
  return static_cast<std::uint32_t>(build) << 16 | revision;
}

// Every fixed version information block in the image's resource data (one per version
// resource, normally exactly one). Empty when the image has none or is not a PE image.
std::vector<FixedVersion> ReadFixedVersions(std::string_view image);

// Writes `version` over every fixed version information block of the image's resources and
// returns how many there were; 0 leaves the image unchanged. The version strings of the
// resource are left as they are: Windows reads the version of a file from the fixed block.
int SetFixedVersion(std::string& image, const FixedVersion& version);

// The resource type of application manifests (RT_MANIFEST).
inline constexpr std::uint16_t kManifestResource = 24;

// The data of every resource of a numeric type, in the order of the resource directory (by
// name or number, then by language). nullopt when the image is no well-formed PE image or its
// resource directory is damaged, with `error` saying what is wrong; an image without resources
// of that type gives an empty list.
std::optional<std::vector<std::string>> ReadResources(std::string_view image, std::uint16_t type,
                                                      std::string& error);

// Whole files, as bytes.
std::optional<std::string> ReadFile(const std::string& path);
bool WriteFile(const std::string& path, std::string_view bytes);

}  // namespace pe
