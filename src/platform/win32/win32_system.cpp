#include <windows.h>
// The platform door names its operations after the calls; keep the header's A/W macros off them.
#undef GetWindowsDirectory

#include "platform/win32/win32_platform.h"

namespace platform::win32 {
namespace {

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

// The flag's value, for headers that predate the call.
constexpr DWORD kSearchSystem32 = 0x00000800;

template <typename To, typename From>
To EntryCast(From entry) {
  return reinterpret_cast<To>(reinterpret_cast<void*>(entry));
}

}  // namespace

void RestrictLibrarySearch() {
  // Windows versions without the call (before the update that brought it to Windows 7) cannot
  // be asked; there the import table's Known DLLs are all the protection there is.
  auto setDefault = EntryCast<SetDefaultDllDirectoriesFn>(
      ::GetProcAddress(::GetModuleHandleA("kernel32"), "SetDefaultDllDirectories"));
  if (setDefault != nullptr) {
    setDefault(kSearchSystem32);
  }
}

void* SystemLibraryEntry(const char* library, const char* entry) {
  char path[MAX_PATH + 32];
  const UINT length = ::GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || ::lstrlenA(library) > 30) {
    return nullptr;
  }
  path[length] = '\\';
  ::lstrcpyA(path + length + 1, library);
  HMODULE module = ::GetModuleHandleA(path);
  if (module == nullptr) {
    module = ::LoadLibraryA(path);
  }
  return module == nullptr ? nullptr : EntryCast<void*>(::GetProcAddress(module, entry));
}

std::string Win32System::GetWindowsDirectory() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    UINT length = ::GetWindowsDirectoryA(path.data(), static_cast<UINT>(path.size()));
    if (length == 0) {
      return {};
    }
    // A result no shorter than the buffer is the size needed, terminating zero included.
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length);
  }
}

bool Win32System::HasIsWow64Process() {
  if (!lookedUp_) {
    lookedUp_ = true;
    isWow64Process_ =
        EntryCast<ProcEntry>(::GetProcAddress(::GetModuleHandleA("kernel32"), "IsWow64Process"));
  }
  return isWow64Process_ != nullptr;
}

bool Win32System::IsWow64Process() {
  BOOL wow64 = FALSE;
  if (HasIsWow64Process()) {
    EntryCast<IsWow64ProcessFn>(isWow64Process_)(::GetCurrentProcess(), &wow64);
  }
  return wow64 != FALSE;
}

bool Win32System::IsDBCSLeadByte(unsigned char byte) {
  return ::IsDBCSLeadByte(byte) != FALSE;
}

std::uint64_t Win32System::GetSystemTimeAsFileTime() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
}

}  // namespace platform::win32
