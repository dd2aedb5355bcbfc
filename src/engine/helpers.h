// Small operations the install engine and the install run share. Each has one fixed behaviour
// on failure that its callers rely on instead of checking.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/platform.h"

// The key, under HKEY_LOCAL_MACHINE for all users and under each user's own key, that names
// the shell's folders: "Programs", "Startup", "Desktop" and their "Common " counterparts.
inline constexpr char kShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// One registry text value read into a 260-byte buffer: the text up to its first zero byte.
// Empty when the key or the value is missing, or the value does not fit.
std::string ReadRegistryString(platform::Registry& registry, platform::RegistryKey root,
                               const std::string& keyPath, const std::string& valueName);

// Sets a REG_SZ value, its terminating zero included, creating the key and every missing key on
// its path; an empty name is the key's default value. True when the value was set.
bool WriteRegistryString(platform::Registry& registry, platform::RegistryKey root,
                         const std::string& keyPath, const std::string& valueName,
                         const std::string& text);

// Sets a REG_DWORD value, its four bytes least significant first, creating the key as
// WriteRegistryString does. True when the value was set.
bool WriteRegistryDword(platform::Registry& registry, platform::RegistryKey root,
                        const std::string& keyPath, const std::string& valueName,
                        std::uint32_t number);

// Turns every slash into a backslash, then strips blanks, tabs, CR, LF and backslashes from
// the start and then from the end. Steps by characters of the ANSI code page, so the second
// byte of a double-byte character is never taken for a slash or a backslash.
void NormalizeFolderText(platform::System& system, std::string& text);

// The folder with one backslash behind it, unless it already ends in a backslash or a slash.
std::string CompleteFolder(platform::System& system, const std::string& folder);

// The path without its last component (one trailing backslash ignored); empty for an absent
// path and for a path without a backslash past its first character.
std::string ParentFolder(platform::System& system, const std::optional<std::string>& path);

// Whether this 32-bit program runs on 64-bit Windows. The system's entry is looked up once,
// when the object is made at start-up, before the run is decided.
class Wow64Query {
 public:
  explicit Wow64Query(platform::System& system)
      : system_(system), hasEntry_(system.HasIsWow64Process()) {}

  bool IsRunningOnWow64() const { return hasEntry_ && system_.IsWow64Process(); }

 private:
  platform::System& system_;
  bool hasEntry_;
};
