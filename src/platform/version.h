// Version resources of program files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The two version words of a version resource's fixed file information (VS_FIXEDFILEINFO).
struct FixedFileVersion {
  std::uint32_t fileVersionMS = 0;
  std::uint32_t fileVersionLS = 0;
  bool operator==(const FixedFileVersion&) const = default;
};

class VersionResources {
 public:
  virtual ~VersionResources() = default;

  // GetFileVersionInfoSizeA, GetFileVersionInfoA and VerQueryValueA of the root block "\":
  // empty when the file is missing, carries no version resource, or any step fails.
  virtual std::optional<FixedFileVersion> GetFixedFileVersion(const std::string& path) = 0;
};

}  // namespace platform
