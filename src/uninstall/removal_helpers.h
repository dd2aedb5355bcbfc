// Taking things away: files by name pattern, registry trees, and company keys left empty.
// Nothing here reports a failure; whatever cannot be reached stays.
#pragma once

#include <string>

#include "platform/platform.h"

// Deletes the files of `folder` that match `pattern` (wildcards * and ?, optionally after a
// sub-folder part such as "sub\*.dat"), read-only and hidden ones included. Folders that match
// are never removed. Returns the number of files deleted.
int DeleteFilesByPattern(platform::Platform& platform, const std::string& folder,
                         const std::string& pattern);

// Deletes the key and everything below it, deepest first. A sub-key that cannot be deleted is
// passed over, and the keys above it stay. True when the key itself was deleted.
bool DeleteRegistryTree(platform::Registry& registry, platform::RegistryKey root,
                        const std::string& subKey);

// Deletes the key when it has no sub-keys; values alone do not keep it.
void DeleteKeyIfNoSubkeys(platform::Registry& registry, platform::RegistryKey root,
                          const std::string& subKey);
