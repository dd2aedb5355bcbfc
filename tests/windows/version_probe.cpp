// version_probe.exe FILE       reads FILE's version the way setup.exe does
// version_probe.exe --by-name  loads version.dll by its name alone, as a careless program would
//
// Exit code: 0 when the version library in use is the system folder's (and, for FILE, a version
// was read), 3 when it is a copy from elsewhere, 4 when no version was read, 2 for bad use.
// The tests copy it beside a planted version.dll.
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace {

bool VersionLibraryIsTheSystemCopy() {
  HMODULE library = GetModuleHandleA("version.dll");
  char path[MAX_PATH];
  char system[MAX_PATH];
  const DWORD pathLength = library ? GetModuleFileNameA(library, path, MAX_PATH) : 0;
  const UINT systemLength = GetSystemDirectoryA(system, MAX_PATH);
  return pathLength > systemLength && systemLength > 0 && path[systemLength] == '\\' &&
         CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, path,
                        static_cast<int>(systemLength), system,
                        static_cast<int>(systemLength)) == CSTR_EQUAL;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    return 2;
  }
  if (lstrcmpA(argv[1], "--by-name") == 0) {
    if (LoadLibraryA("version.dll") == nullptr) {
      return 4;
    }
    return VersionLibraryIsTheSystemCopy() ? 0 : 3;
  }
  platform::win32::Win32VersionResources versions;
  const bool read = versions.GetFixedFileVersion(argv[1]).has_value();
  if (!VersionLibraryIsTheSystemCopy()) {
    return 3;
  }
  return read ? 0 : 4;
}
