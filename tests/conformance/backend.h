// The platform under test: the simulated machine on the host, the real Windows calls in
// conformance.exe. Each test gets a fresh backend.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace conformance {

// The version resource of conformance.exe (conformance.rc), which the simulated program file
// carries too: 6.1.40000.300. The build number above 32767 shows a sign slip.
inline constexpr platform::FixedFileVersion kProgramVersion{0x00060001, 0x9C40012C};

// conformance.exe started with these arguments runs no test: it waits the milliseconds of
// kProbeLinger (when given), then ends with the exit code of kProbeExit, e.g.
// "conformance.exe --probe-linger=500 --probe-exit=7". The tests start it to wait for its end.
inline constexpr char kProbeExit[] = "--probe-exit=";
inline constexpr char kProbeLinger[] = "--probe-linger=";

// What a saved shell link holds, read back outside the door.
struct SavedShortcut {
  std::string target;
  std::string workingFolder;
  std::string description;
  bool operator==(const SavedShortcut&) const = default;
};

// A message posted to one of the test's own windows, as its queue holds it.
struct QueuedMessage {
  unsigned message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  bool operator==(const QueuedMessage&) const = default;
};

class Backend {
 public:
  virtual ~Backend() = default;
  virtual platform::Platform& Get() = 0;
  // The file name of the program that runs the tests, as it lies on disk.
  virtual std::string ProgramFileName() const = 0;

  // What a test lays down or inspects beyond the door: exact bytes, and attributes, which the
  // program itself never sets through it. False or empty when the call fails.
  virtual bool WriteBytes(const std::string& path, const std::string& bytes) = 0;
  virtual std::optional<std::string> ReadBytes(const std::string& path) = 0;
  virtual bool SetAttributes(const std::string& path, std::uint32_t attributes) = 0;
  // Holds the file open as another program reading it would, sharing reading only: until
  // Release it can be read, but neither deleted, renamed nor written. False when it cannot be
  // opened.
  virtual bool HoldOpen(const std::string& path) = 0;
  virtual void Release(const std::string& path) = 0;
  // Sets a variable of the running process's environment, as the runtime's _putenv does.
  virtual bool SetEnvironmentVariable(const std::string& name, const std::string& value) = 0;
  // GetShortPathName: the path with each name spelled by its 8.3 alias where it has one; none
  // when nothing lies there.
  virtual std::optional<std::string> ShortPath(const std::string& path) = 0;
  // Whether the ANSI code page of the calls is `codePage`: the simulated machine switches to
  // it, Windows has it from the start of the process (Wine from its locale, LC_ALL).
  virtual bool UseCodePage(unsigned codePage) = 0;
  // The shell link saved at the path; none when it cannot be loaded as one.
  virtual std::optional<SavedShortcut> ReadShortcut(const std::string& path) = 0;

  // A hidden top-level window of the running process with that title, owner (kNoWindow for
  // none) and extended style, made as the product makes its windows; kNoWindow when it cannot be
  // made. DestroyTopLevelWindow takes it away again.
  virtual platform::WindowHandle MakeTopLevelWindow(const std::string& title,
                                                    platform::WindowHandle owner,
                                                    std::uint32_t exStyle) = 0;
  virtual void DestroyTopLevelWindow(platform::WindowHandle window) = 0;
  // Every message posted to a window of MakeTopLevelWindow so far, oldest first; nothing
  // handles them meanwhile.
  virtual std::vector<QueuedMessage> PostedMessages(platform::WindowHandle window) = 0;
};

std::unique_ptr<Backend> MakeBackend();

}  // namespace conformance
