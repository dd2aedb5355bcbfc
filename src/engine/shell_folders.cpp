#include "engine/shell_folders.h"

#include "engine/paths.h"
#include "engine/registry_values.h"
#include "engine/text.h"

std::string ReadShellFolder(platform::Registry& registry, platform::RegistryKey root,
                            const std::string& name) {
  return ReadRegistryString(registry, root, kShellFoldersKey, name);
}

std::string ShellFolder(platform::Registry& registry, bool allUsers, const std::string& kind) {
  return allUsers ? ReadShellFolder(registry, platform::kHkeyLocalMachine, "Common " + kind)
                  : ReadShellFolder(registry, platform::kHkeyCurrentUser, kind);
}

std::vector<std::string> ShellFoldersOfEveryUser(platform::Platform& platform,
                                                 std::initializer_list<const char*> kinds) {
  platform::Registry& registry = platform.registry;
  std::vector<std::string> folders;
  auto add = [&](const std::string& path) {
    std::string folder = LowerCase(path);
    while (EndsWithCharacter(platform.system, folder, kSeparators)) {
      folder.pop_back();
    }
    if (!folder.empty()) {
      folders.push_back(folder);
    }
  };
  for (const char* kind : kinds) {
    add(ShellFolder(registry, false, kind));
    add(ShellFolder(registry, true, kind));
  }
  ForEachLoadedUser(registry, platform::kKeyRead, [&](platform::RegistryKey user) {
    for (const char* kind : kinds) {
      add(ReadShellFolder(registry, user, kind));
    }
  });
  return folders;
}
