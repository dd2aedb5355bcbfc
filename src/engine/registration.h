// The registry entries that make the installed product known to the system and to the next
// run of this program.
#pragma once

#include <cstdint>

#include "engine/setup_options.h"
#include "platform/platform.h"

namespace registration {

// Under HKEY_LOCAL_MACHINE, in the 32-bit view where this program looks for them again.
inline constexpr char kCompanyKey[] = "SOFTWARE\\Corvantis";
inline constexpr char kProductKey[] = "SOFTWARE\\Corvantis\\Pictavo 6";
inline constexpr char kAppPathKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pictv6.exe";
inline constexpr char kUninstallListKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr char kUninstallEntry[] = "Pictavo 6";
inline constexpr char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictavo 6";

inline constexpr char kAllUsersValue[] = "AllUsers";
inline constexpr char kPathValue[] = "Path";
inline constexpr char kAllUsersOn[] = "B";
inline constexpr char kAllUsersOff[] = "A";

inline constexpr char kPublisher[] = "Corvantis Technology LLC";
// The switch of the entry's QuietUninstallString.
inline constexpr char kSilentSwitch[] = "-s";

}  // namespace registration

// Writes the product key, the application path and the uninstall entry, all under
// HKEY_LOCAL_MACHINE and in a fixed order; the entry's size is `installedBytes` in kilobytes,
// rounded up. Each write stands alone: a refused one does not stop the others. True when every
// value was written.
bool RegisterProduct(platform::Platform& platform, const SetupOptions& options,
                     std::uint64_t installedBytes);
