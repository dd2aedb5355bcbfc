// Facts about the simulated Windows: its folder, its width and its ANSI code page.
#pragma once

#include <cstdint>
#include <string>

#include "platform/system.h"

namespace sim {

// The simulated machines' clock, in FILETIME steps: each reading is later than the one before,
// and a file or folder takes its creation time from it.
std::uint64_t ReadClock();

class System final : public platform::System {
 public:
  // platform::System, as the program sees it.
  std::string GetWindowsDirectory() override { return windowsFolder_; }
  bool HasIsWow64Process() override { return hasIsWow64Process_; }
  // Throws sim::ScriptError on a Windows without the call: the program must look it up first.
  bool IsWow64Process() override;
  bool IsDBCSLeadByte(unsigned char byte) override;
  std::uint64_t GetSystemTimeAsFileTime() override { return ReadClock(); }

  // The test's side. A fresh machine is a 32-bit Windows that has IsWow64Process, in
  // C:\WINDOWS, with code page 1252. The folder is reported as given; the test lays it down.
  void SetWindowsDirectory(std::string folder) { windowsFolder_ = std::move(folder); }
  void SetWindows64Bit(bool is64Bit) { is64Bit_ = is64Bit; }
  // False: a Windows older than the 64-bit query, necessarily a 32-bit one.
  void SetIsWow64ProcessAvailable(bool available) { hasIsWow64Process_ = available; }
  // 1252 and the other single-byte pages, or one of the double-byte pages 932, 936, 949, 950;
  // any other number throws sim::ScriptError.
  void SetCodePage(unsigned codePage);
  unsigned CodePage() const { return codePage_; }

 private:
  std::string windowsFolder_ = "C:\\WINDOWS";
  bool is64Bit_ = false;
  bool hasIsWow64Process_ = true;
  unsigned codePage_ = 1252;
};

}  // namespace sim
