// Undoing the records of one install log, pass by pass, by name.
#pragma once

#include <optional>
#include <string>

#include "engine/install_log.h"
#include "engine/run_report.h"
#include "platform/platform.h"

// First deletes the shortcut of every "Shell Link: " record, then removes the folder of every
// "Made Dir: " record and its parents for as long as they come away empty. A log that cannot
// be opened changes nothing. A shortcut that stays is a shortfall.
void ReplayShellRecords(platform::Platform& platform, const std::string& logPath,
                        RunReport& report);

// First deletes what the file records name in `installFolder` (all five kinds, or only `kind`),
// with the side copy of each (kSideCopySuffix) that a stopped or deferred replacement left,
// then removes the folder of every "Make Dir: " record once, whatever the kind. A file in use
// goes at the next start (see DeleteFilesByPattern).
void ReplayFileRecords(platform::Platform& platform, const std::string& logPath,
                       const std::string& installFolder, std::optional<LogRecordKind> kind,
                       RunReport& report);

// The file spec a removal reads from a file record's argument: a remark from " | " on is
// dropped, then a rename ("source>target") gives its target. Empty when the file would lie
// outside the install folder (a drive, a root, a share, or a ".." step).
std::string RemovalFileSpec(const std::string& argument);
