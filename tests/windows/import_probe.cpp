// Not a test itself: the host's import checks read this program's file and must find both
// libraries it links beyond the system's own.
#include <windows.h>

extern "C" __declspec(dllimport) HRESULT WINAPI DwmIsCompositionEnabled(BOOL* enabled);

int main(int argc, char** argv) {
  if (argc > 2) {
    BOOL enabled = FALSE;
    DwmIsCompositionEnabled(&enabled);
    return enabled ? 0 : 1;
  }
  DWORD ignored = 0;
  return GetFileVersionInfoSizeA(argc > 1 ? argv[1] : argv[0], &ignored) != 0 ? 0 : 1;
}
