// Taking things away: files by name pattern, registry trees, and company keys left empty.
// Whatever cannot be reached stays; a file in use goes at the next system start.
#pragma once

#include <string>

#include "engine/run_report.h"
#include "platform/platform.h"

// Deletes the files of `folder` that match `pattern` (wildcards * and ?, optionally after a
// sub-folder part such as "sub\*.dat"), read-only and hidden ones included. Folders that match
// are never removed. A file that stays (in use) is scheduled for deletion at the next system
// start and told to the report, unless the report spares it; one that cannot even be
// scheduled is a shortfall. Returns the number of files deleted now.
int DeleteFilesByPattern(platform::Platform& platform, const std::string& folder,
                         const std::string& pattern, RunReport& report);

// Deletes the file now, read-only or hidden as it may be (a file copied from a CD keeps its
// read-only mark). False when it stays: held, or not there.
bool DeleteFileNow(platform::FileSystem& files, const std::string& path);

// True for a folder without entries, and for one that cannot be listed.
bool HoldsNothing(platform::FileSystem& files, const std::string& folder);

// Deletes the file at the next system start, telling the report whether that could be set up.
void DeleteAtNextStart(platform::FileSystem& files, const std::string& path, RunReport& report);

// Deletes the key and everything below it, deepest first. A sub-key that cannot be deleted is
// passed over, and the keys above it stay. True when the key itself was deleted.
bool DeleteRegistryTree(platform::Registry& registry, platform::RegistryKey root,
                        const std::string& subKey);

// Deletes the key when it has no sub-keys; values alone do not keep it.
void DeleteKeyIfNoSubkeys(platform::Registry& registry, platform::RegistryKey root,
                          const std::string& subKey);
