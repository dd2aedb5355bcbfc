#include "windows_test_support.h"

#include <windows.h>

#include <cstdio>

#include "engine/registration.h"

namespace windows_tests {
namespace {

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") {
        continue;
      }
      const std::string path = folder + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

}  // namespace

std::string ProgramFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string program(path, length < MAX_PATH ? length : 0);
  const std::size_t slash = program.rfind('\\');
  return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

FileVersion ParseVersion(std::string_view text) {
  unsigned parts[4] = {};
  char rest = 0;
  const std::string copy(text);
  if (std::sscanf(copy.c_str(), "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3],
                  &rest) != 4) {
    return {};
  }
  return {static_cast<std::uint16_t>(parts[0]), static_cast<std::uint16_t>(parts[1]),
          static_cast<std::uint16_t>(parts[2]), static_cast<std::uint16_t>(parts[3])};
}

ScratchFolder::ScratchFolder(const std::string& name) {
  char temp[MAX_PATH];
  const DWORD length = GetTempPathA(MAX_PATH, temp);
  if (length == 0 || length >= MAX_PATH) {
    return;
  }
  // GetTempPathA ends with a backslash.
  path_ = std::string(temp, length) + "pictavo-windows-tests-" +
          std::to_string(GetCurrentProcessId()) + "-" + name;
  RemoveTree(path_);
  created_ = CreateDirectoryA(path_.c_str(), nullptr) != FALSE;
}

ScratchFolder::~ScratchFolder() {
  if (created_) {
    RemoveTree(path_);
  }
}

bool MachineKeyExists(platform::Registry& registry, const std::string& subKey,
                      std::uint32_t extraAccess) {
  platform::RegistryKey key = 0;
  if (registry.OpenKey(platform::kHkeyLocalMachine, subKey, platform::kKeyRead | extraAccess,
                       key) != platform::kErrorSuccess) {
    return false;
  }
  registry.CloseKey(key);
  return true;
}

void RemoveRegistration(platform::Registry& registry) {
  for (const char* key :
       {registration::kProductKey, registration::kAppPathKey, registration::kUninstallKey}) {
    registry.DeleteKey(platform::kHkeyLocalMachine, key);
  }
  // Fails, as it should, while another product of the maker keeps a key there.
  registry.DeleteKey(platform::kHkeyLocalMachine, "SOFTWARE\\Corvantis");
}

}  // namespace windows_tests
