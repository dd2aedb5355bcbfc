// How the fuzzer's bytes become one machine's worth of untrusted text: two leading bytes of
// switches, then the distribution's manifest, the installed logs and extra distribution files,
// parted by a marker line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// Parts the sections. Chosen so that a manifest line never needs it, and short enough for
// the mutator to insert from the dictionary.
inline constexpr std::string_view kSectionMarker = "\n--8<--\n";

// The first byte, one bit each.
enum Switch : std::uint8_t {
  // An earlier installation is registered, with the second section as its installed log: the
  // run is an update, which replays that log before deploying.
  kExistingInstallation = 0x01,
  // The earlier installation was for the current user only.
  kCurrentUserInstallation = 0x02,
  // A 64-bit Windows: the "File Copy x64: " records deploy.
  kWindows64 = 0x04,
  // The install folder lies on another drive, with blanks and non-ASCII bytes in its name.
  kFolderWithBlanksAndAccents = 0x08,
  kAutostart = 0x10,
  kNoDesktopIcon = 0x20,
  // Code page 932: lead bytes of double-byte characters take the next byte with them.
  kDoubleByteCodePage = 0x40,
  // The manifest is read-only, as on a CD; its copy must still take the appended records.
  kReadOnlyManifest = 0x80,
};

// The second byte: what holds the earlier installation's files, and how it was registered.
enum MoreSwitch : std::uint8_t {
  // The earlier installation's product program runs: its file can be renamed, not deleted.
  kProductRunning = 0x01,
  // The product program is held without any sharing: not even renamed.
  kProductLocked = 0x02,
  // The earlier installation is found by its App Paths entry only, without its Path value.
  kRegisteredByAppPathOnly = 0x04,
  // Operations at the next start cannot be recorded, so WININIT.INI takes them.
  kDelayedOperationsRefused = 0x08,
};

struct FuzzInput {
  std::uint8_t switches = 0;
  std::uint8_t moreSwitches = 0;
  std::string manifest;                     // the distribution's PictvUnInst.log
  std::optional<std::string> installedLog;  // the earlier installation's PictvUnInst.log
  std::optional<std::string> olderLog;      // install.log in the install folder
  // Names of extra files in the distribution folder, one a line; more markers stay in here.
  std::vector<std::string> extraFiles;
};

// Every byte sequence is an input: an empty one has no switches and an empty manifest.
FuzzInput SplitFuzzInput(std::string_view bytes);

}  // namespace fuzz
