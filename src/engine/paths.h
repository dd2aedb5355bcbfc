// Names that a log or manifest gives relative to a folder. Both files may come from places a
// less trusted user can write, while the program may run with more rights than that user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"

// Whether `relative` names something at or below the folder it is read against: not empty, no
// drive, root or share ("\", "/" or ":" would reach elsewhere) and no ".." step, under any
// spelling Windows reads as one ("...", ". .").
bool StaysInsideFolder(std::string_view relative);

// The runtime's existence test of a path: a file or a folder.
bool PathExists(platform::FileSystem& files, const std::string& path);

// The size of the one file `path` names, as a search of it tells; none for a folder, for a
// wildcard that matches several, and for nothing there.
std::optional<std::uint64_t> FileSize(platform::FileSystem& files, const std::string& path);
