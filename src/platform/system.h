// Facts about the running Windows.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class System {
 public:
  virtual ~System() = default;

  // GetWindowsDirectoryA: the Windows folder, without a trailing backslash unless it is a root.
  virtual std::string GetWindowsDirectory() = 0;

  // GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process") != NULL: false on a Windows
  // without 64-bit support.
  virtual bool HasIsWow64Process() = 0;
  // IsWow64Process(GetCurrentProcess()): true for this 32-bit program on 64-bit Windows. Only
  // called when HasIsWow64Process; the call's own result is not looked at and the answer
  // starts as false.
  virtual bool IsWow64Process() = 0;

  // IsDBCSLeadByte: whether `byte` begins a double-byte character in the ANSI code page.
  virtual bool IsDBCSLeadByte(unsigned char byte) = 0;

  // GetSystemTimeAsFileTime: now, in the steps of FoundFile::created.
  virtual std::uint64_t GetSystemTimeAsFileTime() = 0;
};

}  // namespace platform
