// A stand-in for the product program: it joins the shared instance list as the product's
// programs do, shows one main window titled as the product's, closes it when asked to, and
// records what reaches that window from the list and from the setup program, so that a test
// or a demonstration can read it.
//
//   Pictv6.exe [--unlisted | --also-list ID...]
//
// Records are appended to the file that PICTV6_RECORD names, when it is set (nothing is left
// behind otherwise), one line each, in uiauto's record form:
//   started   pid              listed, before the window exists
//   window    pid hwnd         the main window is shown: from now on it gets the notifications
//   received  pid message wparam lparam
//                              every kInstanceAddedMessage, kInstanceRemovedMessage and WM_CLOSE
// --also-list lists another process id beside the stand-in's own, as the entry of a program that
// ended without leaving the list and whose id has since gone to an unrelated program.
// --unlisted keeps out of the list: a program that holds the product's files without the setup
// knowing of it, as one started before the product joined the list would.

// The platform's headers come before <windows.h>: its A/W macros would rename their operations.
#include "instances/instance_manager.h"
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

constexpr char kWindowClass[] = "Pictavo6Main";
constexpr char kWindowTitle[] = "Pictavo 6";
constexpr char kRecordVariable[] = "PICTV6_RECORD";

// The record file stays open for the whole run: the setup program terminates the stand-in 10 ms
// after its close request, so recording it must cost no more than one write.
class Recorder {
 public:
  Recorder() : processId_(GetCurrentProcessId()) {
    const std::string path = Variable(kRecordVariable);
    if (path.empty()) {
      return;
    }
    // Shared for writing too: several stand-ins may be told to record into one file.
    file_ = CreateFileA(path.c_str(), FILE_APPEND_DATA,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  ~Recorder() {
    if (file_ != INVALID_HANDLE_VALUE) {
      CloseHandle(file_);
    }
  }
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Each record is one write of a whole line, so that records of stand-ins sharing a file
  // never interleave.
  void Record(const std::string& kind, const std::string& fields = {}) {
    if (file_ == INVALID_HANDLE_VALUE) {
      return;
    }
    const std::string line =
        kind + "\tpid=" + std::to_string(processId_) + (fields.empty() ? "" : "\t") + fields + "\n";
    DWORD written = 0;
    WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }

 private:
  static std::string Variable(const char* name) {
    char value[MAX_PATH + 1];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
  }

  DWORD processId_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* recorder = reinterpret_cast<Recorder*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (recorder != nullptr && (message == kInstanceAddedMessage ||
                              message == kInstanceRemovedMessage || message == WM_CLOSE)) {
    recorder->Record("received", "message=" + std::to_string(message) + "\twparam=" +
                                     std::to_string(wParam) + "\tlparam=" + std::to_string(lParam));
  }
  switch (message) {
    case WM_CLOSE:
      // The product closes on the setup's request (wParam 1001) as on the user's, without
      // asking: the setup has already told the user that unsaved work is lost.
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

bool HasSwitch(const char* name) {
  for (int i = 1; i < __argc; ++i) {
    if (std::string(__argv[i]) == name) {
      return true;
    }
  }
  return false;
}

// The ids after each --also-list; a value that is no whole positive number is passed over.
void ListAlso(COXInstanceManager& instances) {
  for (int i = 1; i + 1 < __argc; ++i) {
    if (std::string(__argv[i]) != "--also-list") {
      continue;
    }
    char* end = nullptr;
    const unsigned long id = std::strtoul(__argv[i + 1], &end, 10);
    if (end != __argv[i + 1] && *end == '\0' && id != 0) {
      instances.RegisterProcess(static_cast<unsigned>(id));
    }
  }
}

int RunMainWindow(HINSTANCE instance, int show, Recorder& recorder) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  if (RegisterClassA(&windowClass) == 0) {
    return 1;
  }
  HWND window = CreateWindowA(kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 480, 320, nullptr, nullptr, instance, &recorder);
  if (window == nullptr) {
    return 1;
  }
  ShowWindow(window, show);
  // As uiauto writes window handles, so that the two can be compared.
  char handle[24];
  std::snprintf(handle, sizeof handle, "0x%llx",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)));
  recorder.Record("window", std::string("hwnd=") + handle);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  platform::win32::RestrictLibrarySearch();
  Recorder recorder;
  platform::win32::Win32Platform platform;
  // Listed before the window exists and unlisted after it has gone, as the product does: the
  // others are told of this process only through the list.
  std::optional<COXInstanceManager> instances;
  if (!HasSwitch("--unlisted")) {
    instances.emplace(platform.Get());
    ListAlso(*instances);
  }
  recorder.Record("started");
  return RunMainWindow(instance, show, recorder);
}
