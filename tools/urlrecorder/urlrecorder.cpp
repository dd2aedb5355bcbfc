// urlrecorder LOGFILE [ARGUMENTS...]: appends one line to LOGFILE, the arguments after it joined
// by tabs, in UTF-8, and ends with exit code 0 (1 when the line could not be written).
//
// Registered as the command of an address scheme ("C:\...\urlrecorder.exe" "LOG" "%1"), it
// stands in for the browser: the test reads from LOG which address the shell was asked to open
// and how often. A GUI program, so that the shell opens no console window for it.

#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include <string>

namespace {

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) {
    return {};
  }
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                      nullptr, nullptr);
  return utf8;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc < 2) {
    return 1;
  }
  std::wstring line;
  for (int i = 2; i < argc; ++i) {
    line += (i > 2 ? L"\t" : L"") + std::wstring(argv[i]);
  }
  const std::string bytes = ToUtf8(line) + "\r\n";
  // Appended under an exclusive share mode: two starts at once must not interleave their lines,
  // so a second writer retries while the first holds the file.
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    file = CreateFileW(argv[1], FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      Sleep(20);
    }
  }
  LocalFree(argv);
  if (file == INVALID_HANDLE_VALUE) {
    return 1;
  }
  DWORD written = 0;
  const BOOL ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size() ? 0 : 1;
}
