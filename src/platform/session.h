// What the processes of one log-on session share and see of each other: named mutexes, named
// shared memory backed by the paging file, the top-level windows, the messages posted to them,
// and the other processes themselves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace platform {

// A kernel object handle as the logic sees it: an opaque number, kNoHandle for none.
using KernelHandle = std::uintptr_t;
inline constexpr KernelHandle kNoHandle = 0;

// Window values the logic reads and posts.
inline constexpr std::uint32_t kExStyleToolWindow = 0x00000080;  // WS_EX_TOOLWINDOW
inline constexpr unsigned kMessageClose = 0x0010;                // WM_CLOSE
// Rights asked for when opening a process.
inline constexpr std::uint32_t kProcessTerminate = 0x00000001;  // PROCESS_TERMINATE
inline constexpr std::uint32_t kSynchronize = 0x00100000;       // SYNCHRONIZE
// A wait without a time limit.
inline constexpr unsigned kInfinite = 0xFFFFFFFF;  // INFINITE

class Session {
 public:
  virtual ~Session() = default;

  // CreateMutexA without security attributes, not initially owned: a new or the existing
  // mutex of that name; kNoHandle when it can be neither (a name taken by another kind of
  // object, for one).
  virtual KernelHandle CreateMutex(const std::string& name) = 0;
  // WaitForSingleObject without a time limit: true once the caller owns the mutex, also when
  // its last owner ended without releasing it.
  virtual bool WaitForMutex(KernelHandle mutex) = 0;
  // ReleaseMutex: false unless the caller owns it.
  virtual bool ReleaseMutex(KernelHandle mutex) = 0;

  // GetSystemInfo's allocation granularity: what offsets of views must be multiples of.
  virtual std::uint32_t AllocationGranularity() = 0;
  // CreateFileMappingA on the paging file, PAGE_READWRITE | SEC_COMMIT, `size` bytes, named:
  // a new region filled with zeros, or the existing one of that name (`alreadyExisted` true,
  // its size as it was made). kNoHandle on failure.
  virtual KernelHandle CreateSharedMemory(const std::string& name, std::uint32_t size,
                                          bool& alreadyExisted) = 0;
  // MapViewOfFile for reading and writing, `length` bytes from `offset` (a multiple of the
  // allocation granularity): the bytes, shared with every other view of the region; nullptr
  // when the view cannot be mapped.
  virtual std::uint8_t* MapView(KernelHandle region, std::uint32_t offset,
                                std::uint32_t length) = 0;
  // UnmapViewOfFile of a view MapView gave.
  virtual bool UnmapView(std::uint8_t* view) = 0;
  // CloseHandle of a mutex, a region or a process: the object goes with its last handle.
  virtual bool CloseHandle(KernelHandle handle) = 0;

  // EnumWindows: the top-level windows in the system's order (topmost first).
  virtual std::vector<WindowHandle> TopLevelWindows() = 0;
  // GetWindowThreadProcessId: the process that made the window; 0 for no window.
  virtual unsigned WindowProcessId(WindowHandle window) = 0;
  // GetWindow with GW_OWNER: the window's owner; kNoWindow for none.
  virtual WindowHandle WindowOwner(WindowHandle window) = 0;
  // GetWindowLongA with GWL_EXSTYLE.
  virtual std::uint32_t WindowExStyle(WindowHandle window) = 0;
  // GetWindowTextA into a buffer of `capacity` characters: at most capacity - 1 of them;
  // empty when the window has no title or cannot be read.
  virtual std::string WindowTitle(WindowHandle window, std::size_t capacity) = 0;
  // PostMessageA: queued for the window's thread, without waiting for it. False when the
  // window does not exist.
  virtual bool PostMessage(WindowHandle window, unsigned message, std::uintptr_t wParam,
                           std::intptr_t lParam) = 0;

  // GetCurrentProcessId.
  virtual unsigned CurrentProcessId() = 0;
  // OpenProcess with `access`, the handle not inheritable: kNoHandle when no process has that
  // id (an ended one may keep it while a handle holds it) or the rights are refused.
  virtual KernelHandle OpenProcess(unsigned id, std::uint32_t access) = 0;
  // OpenProcess on the process that started this one: kNoHandle when it is gone. Its id may
  // belong to a later process by then, which started after this one and is not taken for it.
  virtual KernelHandle OpenParentProcess(std::uint32_t access) = 0;
  // TerminateProcess: the process ends with `exitCode`, without its own shutdown. Needs
  // kProcessTerminate.
  virtual bool TerminateProcess(KernelHandle process, unsigned exitCode) = 0;
  // WaitForSingleObject on a process opened with kSynchronize: true when it has ended within
  // `milliseconds` (kInfinite: waits for its end however long it takes).
  virtual bool WaitForProcessEnd(KernelHandle process, unsigned milliseconds) = 0;

  // CreateProcessA with `application` as the application name and `commandLine` as the whole
  // command line, no inherited handles, no creation flags, the caller's environment and current
  // folder: the new process's handle, with kSynchronize and the right to read its exit code,
  // for the caller to close; kNoHandle when it could not be started.
  virtual KernelHandle StartProcess(const std::string& application,
                                    const std::string& commandLine) = 0;
  // GetExitCodeProcess: the exit code of a process that has ended; none while it still runs or
  // when the handle is no process handle.
  virtual std::optional<unsigned> ProcessExitCode(KernelHandle process) = 0;
};

}  // namespace platform
