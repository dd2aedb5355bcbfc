// Files as another program meets them: a file held open, and the short form of a path.

#include <string>

#include "commands.h"
#include "output.h"

namespace uiauto {

int HoldFile(const Options& options) {
  // Others may read the file (and start it as a program), but neither change nor delete it,
  // as a program that holds its own file open lets them.
  HANDLE file = CreateFileW(options.module.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ReportError("the file cannot be opened", GetLastError());
    return kExitFailed;
  }
  // The marker tells a test driver outside Wine that the hold has begun.
  if (options.path) {
    HANDLE marker = CreateFileW(options.path->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker == INVALID_HANDLE_VALUE) {
      ReportError("the marker cannot be written", GetLastError());
      CloseHandle(file);
      return kExitFailed;
    }
    CloseHandle(marker);
  }
  Sleep(options.timeoutMs);
  CloseHandle(file);
  Record("released").Text("path", std::wstring_view(options.module)).Print();
  return kExitOk;
}

int ShortPath(const Options& options) {
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetShortPathNameW(options.module.c_str(), buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    ReportError("no short path", GetLastError());
    return kExitFailed;
  }
  Record("shortpath").Text("path", std::wstring_view(buffer, length)).Print();
  return kExitOk;
}

}  // namespace uiauto
