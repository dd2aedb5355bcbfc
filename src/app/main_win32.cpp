// The Windows entry. mingw-w64's start-up code calls main for a GUI program too, with the
// runtime's argument vector already split.
#include "app/program.h"
#include "platform/win32/win32_platform.h"

int main() {
  // Before anything can load a library: from here on only the system folder's copies count.
  platform::win32::RestrictLibrarySearch();
  platform::win32::Win32Platform platform;
  SetupProgram program(platform.Get());
  return program.Run();
}
