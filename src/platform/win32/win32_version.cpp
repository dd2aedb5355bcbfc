#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace platform::win32 {
namespace {

using GetFileVersionInfoSizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
using GetFileVersionInfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
using VerQueryValueFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

// GetProcAddress hands out one generic function type; going through void* keeps the compiler
// from judging the conversion between unrelated function types.
template <typename To, typename From>
To EntryCast(From entry) {
  return reinterpret_cast<To>(reinterpret_cast<void*>(entry));
}

}  // namespace

bool Win32VersionResources::Load() {
  if (loadTried_) {
    return getSize_ != nullptr;
  }
  loadTried_ = true;
  // version.dll is no Known DLL: named alone it would be searched for in the program's own
  // folder first, where a planted copy could lie. Only the system folder's copy is taken, and
  // it is not linked at build time for the same reason.
  char path[MAX_PATH + 16];
  UINT length = ::GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return false;
  }
  ::lstrcpyA(path + length, "\\version.dll");
  HMODULE library = ::LoadLibraryA(path);
  if (library == nullptr) {
    return false;
  }
  ProcEntry getSize = EntryCast<ProcEntry>(::GetProcAddress(library, "GetFileVersionInfoSizeA"));
  ProcEntry getInfo = EntryCast<ProcEntry>(::GetProcAddress(library, "GetFileVersionInfoA"));
  ProcEntry queryValue = EntryCast<ProcEntry>(::GetProcAddress(library, "VerQueryValueA"));
  if (getSize == nullptr || getInfo == nullptr || queryValue == nullptr) {
    ::FreeLibrary(library);
    return false;
  }
  // The library stays loaded for the rest of the process.
  getSize_ = getSize;
  getInfo_ = getInfo;
  queryValue_ = queryValue;
  return true;
}

std::optional<FixedFileVersion> Win32VersionResources::GetFixedFileVersion(
    const std::string& path) {
  if (!Load()) {
    return std::nullopt;
  }
  DWORD ignored = 0;
  DWORD size = EntryCast<GetFileVersionInfoSizeFn>(getSize_)(path.c_str(), &ignored);
  if (size == 0) {
    return std::nullopt;
  }
  std::string block(size, '\0');
  if (!EntryCast<GetFileVersionInfoFn>(getInfo_)(path.c_str(), 0, size, block.data())) {
    return std::nullopt;
  }
  void* fixed = nullptr;
  UINT fixedSize = 0;
  if (!EntryCast<VerQueryValueFn>(queryValue_)(block.data(), "\\", &fixed, &fixedSize) ||
      fixed == nullptr || fixedSize < sizeof(VS_FIXEDFILEINFO)) {
    return std::nullopt;
  }
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  return FixedFileVersion{info->dwFileVersionMS, info->dwFileVersionLS};
}

}  // namespace platform::win32
