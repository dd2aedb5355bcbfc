// The Win32 error codes the program meets, with their Win32 values: what the registry calls
// answer with, and what Process::LastError reads after a failed call.
#pragma once

namespace platform {

inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorPathNotFound = 3;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorWriteProtect = 19;
inline constexpr long kErrorSharingViolation = 32;
inline constexpr long kErrorFileExists = 80;
inline constexpr long kErrorDiskFull = 112;
inline constexpr long kErrorDirNotEmpty = 145;
inline constexpr long kErrorAlreadyExists = 183;
inline constexpr long kErrorMoreData = 234;
inline constexpr long kErrorNoMoreItems = 259;
// Others that the simulated machine answers with where Windows does.
inline constexpr long kErrorNotSameDevice = 17;
inline constexpr long kErrorInvalidParameter = 87;
inline constexpr long kErrorInsufficientBuffer = 122;
inline constexpr long kErrorInvalidName = 123;
inline constexpr long kErrorDirectory = 267;  // a folder was expected

// HRESULT_FROM_WIN32: a system error code as the component calls (a shell link's Save) report
// it; 0 stays S_OK.
inline constexpr unsigned HresultFromWin32(long error) {
  return error <= 0 ? static_cast<unsigned>(error)
                    : (static_cast<unsigned>(error) & 0xFFFFu) | 0x80070000u;
}
inline constexpr unsigned kHresultFail = 0x80004005;  // E_FAIL

}  // namespace platform
