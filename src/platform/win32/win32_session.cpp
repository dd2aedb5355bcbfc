#include <windows.h>
// tlhelp32.h needs the types of windows.h.
#include <tlhelp32.h>
// The platform door names its operations after the calls; keep the header's A/W macros off them.
#undef CreateMutex
#undef PostMessage

#include <climits>

#include "platform/win32/user32.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {
namespace {

HANDLE Handle(KernelHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

HWND Window(WindowHandle window) {
  return reinterpret_cast<HWND>(window);
}

// Real handles are small positive numbers. The "negative" ones are pseudo handles that every
// call accepts: -1 is the calling process itself, so a stale -1 would wait forever on the
// caller or end it. Those and kNoHandle never reach the calls.
bool IsRealHandle(KernelHandle handle) {
  return static_cast<std::intptr_t>(handle) > 0;
}

// HWND_BROADCAST: PostMessageA would hand the message to every top-level window there is.
constexpr WindowHandle kBroadcast = 0xFFFF;

BOOL CALLBACK AddWindow(HWND window, LPARAM windows) {
  reinterpret_cast<std::vector<WindowHandle>*>(windows)->push_back(
      reinterpret_cast<WindowHandle>(window));
  return TRUE;
}

}  // namespace

KernelHandle Win32Session::CreateMutex(const std::string& name) {
  return reinterpret_cast<KernelHandle>(::CreateMutexA(nullptr, FALSE, name.c_str()));
}

bool Win32Session::WaitForMutex(KernelHandle mutex) {
  if (!IsRealHandle(mutex)) {
    return false;
  }
  // An abandoned mutex is owned all the same; whatever it guards may be half written, which
  // the caller's data has to survive anyway.
  const DWORD result = ::WaitForSingleObject(Handle(mutex), INFINITE);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

bool Win32Session::ReleaseMutex(KernelHandle mutex) {
  return IsRealHandle(mutex) && ::ReleaseMutex(Handle(mutex)) != FALSE;
}

std::uint32_t Win32Session::AllocationGranularity() {
  SYSTEM_INFO info;
  ::GetSystemInfo(&info);
  return info.dwAllocationGranularity;
}

KernelHandle Win32Session::CreateSharedMemory(const std::string& name, std::uint32_t size,
                                              bool& alreadyExisted) {
  alreadyExisted = false;
  HANDLE region = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_COMMIT,
                                       0, size, name.c_str());
  if (region == nullptr) {
    return kNoHandle;
  }
  // Only valid right after the call: the existing region comes back as a handle like a new one.
  alreadyExisted = ::GetLastError() == ERROR_ALREADY_EXISTS;
  return reinterpret_cast<KernelHandle>(region);
}

std::uint8_t* Win32Session::MapView(KernelHandle region, std::uint32_t offset,
                                    std::uint32_t length) {
  if (!IsRealHandle(region)) {
    return nullptr;
  }
  return static_cast<std::uint8_t*>(
      ::MapViewOfFile(Handle(region), FILE_MAP_WRITE | FILE_MAP_READ, 0, offset, length));
}

bool Win32Session::UnmapView(std::uint8_t* view) {
  return view != nullptr && ::UnmapViewOfFile(view) != FALSE;
}

bool Win32Session::CloseHandle(KernelHandle handle) {
  return IsRealHandle(handle) && ::CloseHandle(Handle(handle)) != FALSE;
}

std::vector<WindowHandle> Win32Session::TopLevelWindows() {
  std::vector<WindowHandle> windows;
  user32::EnumWindows(AddWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

unsigned Win32Session::WindowProcessId(WindowHandle window) {
  DWORD process = 0;
  if (window == kNoWindow || user32::GetWindowThreadProcessId(Window(window), &process) == 0) {
    return 0;
  }
  return process;
}

WindowHandle Win32Session::WindowOwner(WindowHandle window) {
  if (window == kNoWindow) {
    return kNoWindow;
  }
  return reinterpret_cast<WindowHandle>(user32::GetWindow(Window(window), GW_OWNER));
}

std::uint32_t Win32Session::WindowExStyle(WindowHandle window) {
  if (window == kNoWindow) {
    return 0;
  }
  return static_cast<std::uint32_t>(user32::GetWindowLongA(Window(window), GWL_EXSTYLE));
}

std::string Win32Session::WindowTitle(WindowHandle window, std::size_t capacity) {
  if (window == kNoWindow || capacity == 0) {
    return {};
  }
  // The buffer is the caller's capacity, but no larger than the title can be: the length the
  // window reports may exceed the text, never fall short of it.
  const int length = user32::GetWindowTextLengthA(Window(window));
  if (length <= 0) {
    return {};
  }
  std::size_t size = static_cast<std::size_t>(length) + 1;
  if (size > capacity) {
    size = capacity;
  }
  if (size > INT_MAX) {
    size = INT_MAX;
  }
  std::string title(size, '\0');
  const int copied = user32::GetWindowTextA(Window(window), title.data(), static_cast<int>(size));
  title.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return title;
}

bool Win32Session::PostMessage(WindowHandle window, unsigned message, std::uintptr_t wParam,
                               std::intptr_t lParam) {
  // No window would post to the calling thread's own queue, the broadcast value to everyone.
  if (window == kNoWindow || window == kBroadcast) {
    return false;
  }
  return user32::PostMessageA(Window(window), message, wParam, lParam) != FALSE;
}

unsigned Win32Session::CurrentProcessId() {
  return ::GetCurrentProcessId();
}

KernelHandle Win32Session::OpenProcess(unsigned id, std::uint32_t access) {
  return reinterpret_cast<KernelHandle>(::OpenProcess(access, FALSE, id));
}

KernelHandle Win32Session::OpenParentProcess(std::uint32_t access) {
  const DWORD self = ::GetCurrentProcessId();
  DWORD parent = 0;
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    return kNoHandle;
  }
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot, &entry); more && parent == 0;
       more = ::Process32Next(snapshot, &entry)) {
    if (entry.th32ProcessID == self) {
      parent = entry.th32ParentProcessID;
    }
  }
  ::CloseHandle(snapshot);
  if (parent == 0) {
    return kNoHandle;
  }
  HANDLE process = ::OpenProcess(access | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parent);
  if (process == nullptr) {
    return kNoHandle;
  }
  // Once opened, the process cannot change; a process that started after this one got the
  // id of the parent that has ended.
  FILETIME started{};
  FILETIME ownStart{};
  FILETIME unused[3];
  if (!::GetProcessTimes(process, &started, &unused[0], &unused[1], &unused[2]) ||
      !::GetProcessTimes(::GetCurrentProcess(), &ownStart, &unused[0], &unused[1], &unused[2]) ||
      ::CompareFileTime(&started, &ownStart) > 0) {
    ::CloseHandle(process);
    return kNoHandle;
  }
  return reinterpret_cast<KernelHandle>(process);
}

bool Win32Session::TerminateProcess(KernelHandle process, unsigned exitCode) {
  return IsRealHandle(process) && ::TerminateProcess(Handle(process), exitCode) != FALSE;
}

bool Win32Session::WaitForProcessEnd(KernelHandle process, unsigned milliseconds) {
  return IsRealHandle(process) &&
         ::WaitForSingleObject(Handle(process), milliseconds) == WAIT_OBJECT_0;
}

KernelHandle Win32Session::StartProcess(const std::string& application,
                                        const std::string& commandLine) {
  // CreateProcessA may write into the command line, so it gets a copy of its own.
  std::string line = commandLine;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!::CreateProcessA(application.empty() ? nullptr : application.c_str(), line.data(), nullptr,
                        nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    return kNoHandle;
  }
  ::CloseHandle(started.hThread);
  return reinterpret_cast<KernelHandle>(started.hProcess);
}

// A process that really ended with STILL_ACTIVE (259) as its code cannot be told from one that
// runs: it reads as running until the handle is waited for, which the callers do first.
std::optional<unsigned> Win32Session::ProcessExitCode(KernelHandle process) {
  DWORD code = 0;
  if (!IsRealHandle(process) || !::GetExitCodeProcess(Handle(process), &code) ||
      code == STILL_ACTIVE) {
    return std::nullopt;
  }
  return code;
}

}  // namespace platform::win32
