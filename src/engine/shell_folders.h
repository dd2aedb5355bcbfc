// The shell's folders ("Programs", "Startup", "Desktop", "Start Menu" and their "Common "
// counterparts for all users), as the registry names them for each user and for all users.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "platform/platform.h"

// Under HKEY_LOCAL_MACHINE for all users and under each user's own key.
inline constexpr char kShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The folder `name` ("Programs", "Common Programs", ...) under `root`'s Shell Folders key; empty
// when it is not named there.
std::string ReadShellFolder(platform::Registry& registry, platform::RegistryKey root,
                            const std::string& name);

// The folder of `kind` ("Programs", "Startup", "Desktop") for all users ("Common " + kind under
// HKEY_LOCAL_MACHINE) or for the current user (kind under HKEY_CURRENT_USER).
std::string ShellFolder(platform::Registry& registry, bool allUsers, const std::string& kind);

// The folders of these kinds of the current user, of every user whose profile is loaded and of
// all users: in lower case, without a trailing separator, the unnamed ones left out.
std::vector<std::string> ShellFoldersOfEveryUser(platform::Platform& platform,
                                                 std::initializer_list<const char*> kinds);
