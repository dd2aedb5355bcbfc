// File operations carried out at the next system start: through the system's delayed
// operations, or, where the system refuses them, through the "rename" section of WININIT.INI.
#pragma once

#include <string>

#include "platform/files.h"

// True when the deletion was recorded, one way or the other. A folder goes only when it is empty
// by then: schedule what lies in it first.
bool DeleteAtReboot(platform::FileSystem& files, const std::string& path);

// An existing file at `newPath` is not replaced: schedule its deletion first. True when the
// rename was recorded.
bool RenameAtReboot(platform::FileSystem& files, const std::string& existingPath,
                    const std::string& newPath);

// The section's lines (each ended by a zero, as read) with `entry` behind the last of them and
// the list closed by a second zero, ready to be written back.
std::string AppendSectionEntry(const std::string& lines, const std::string& entry);
