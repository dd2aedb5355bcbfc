// Taking files away: by name pattern, read-only or not, now or at the next system start.
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
