// The commands of uiauto. Each returns the process exit code: 0 done, 1 failed (bad input, a
// Windows call failed, a control refused), 2 timed out or nothing matched.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace uiauto {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitTimeout = 2;

// Selects top-level windows; every given criterion must hold. Texts compare exactly, the class
// and the image ignoring letter case (as Windows does for both).
struct WindowFilter {
  HWND hwnd = nullptr;
  std::optional<std::wstring> title;
  std::optional<std::wstring> windowClass;
  std::optional<DWORD> pid;
  // The process's image: its full path, or only its file name.
  std::optional<std::wstring> image;
  bool includeHidden = false;
};

struct Options {
  WindowFilter filter;
  DWORD timeoutMs = 0;
  std::optional<int> controlId;
  std::optional<std::wstring> controlText;
  std::optional<std::wstring> newText;
  std::optional<std::wstring> path;
  std::wstring method = L"click";
  std::wstring key;
  DWORD waitCloseMs = 0;
  bool force = false;
  bool gone = false;
  bool uncheck = false;
  std::wstring module;
};

int ListWindows(const Options& options);
int WaitWindow(const Options& options);
int DescribeWindow(const Options& options);
int PressButton(const Options& options);
int PressKey(const Options& options);
int SetControlText(const Options& options);
int CheckButton(const Options& options);
int SelectFolder(const Options& options);
int RequestClose(const Options& options);
int ListProcesses(const Options& options);
int WaitProcessExit(const Options& options);

int DumpStrings(const Options& options);
int DumpDialogs(const Options& options);

int ReadShortcut(const Options& options);

int HoldFile(const Options& options);
int ShortPath(const Options& options);

}  // namespace uiauto
