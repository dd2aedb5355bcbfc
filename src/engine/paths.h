// Paths as this program forms and reads them: completing a folder, the folder part of a path,
// the buffer a path must fit, and names that a log or manifest gives relative to a folder. Each
// steps by characters of the system's ANSI code page, so the second byte of a double-byte
// character is never taken for a separator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/system.h"

// The path buffer of the ANSI calls, terminator included: a longer path is never formed.
inline constexpr std::size_t kPathCapacity = 260;

// Path separators as Windows takes them.
inline constexpr std::string_view kSeparators = "\\/";

// The program file's path as a buffer of kPathCapacity holds it.
std::string ProgramFilePath(const std::string& moduleFileName);

// The folder with one backslash behind it, unless it already ends in a backslash or a slash.
std::string CompleteFolder(platform::System& system, const std::string& folder);

// The folder without the one backslash that may end it.
std::string WithoutTrailingBackslash(platform::System& system, std::string folder);

// The path without its last component (one trailing backslash ignored); empty for an absent
// path and for a path without a backslash past its first character.
std::string ParentFolder(platform::System& system, const std::optional<std::string>& path);

// The drive and folder of a file's path with the separator behind, either separator counting:
// C:\Program Files\Pictavo 6\ for C:\Program Files\Pictavo 6\PictvUnInst.exe; "C:" for C:name.
std::string FolderOf(platform::System& system, const std::string& path);

// The last component of a path: the whole text when it has no backslash.
std::string LastComponent(platform::System& system, const std::string& path);

// Whether the folder is a drive alone, such as "C:".
bool IsBareDrive(std::string_view folder);

// Turns every slash into a backslash, then strips blanks, tabs, CR, LF and backslashes from
// the start and then from the end: a folder or group name as a user or a file gives it.
void NormalizeFolderText(platform::System& system, std::string& text);

// Whether `relative` names something at or below the folder it is read against: not empty, no
// drive, root or share ("\", "/" or ":" would reach elsewhere) and no ".." step, under any
// spelling Windows reads as one ("...", ". ."). Logs and manifests may come from places a less
// trusted user can write, while the program may run with more rights than that user.
bool StaysInsideFolder(std::string_view relative);

// The runtime's existence test of a path: a file or a folder.
bool PathExists(platform::FileSystem& files, const std::string& path);

// The size of the one file `path` names, as a search of it tells; none for a folder, for a
// wildcard that matches several, and for nothing there.
std::optional<std::uint64_t> FileSize(platform::FileSystem& files, const std::string& path);
