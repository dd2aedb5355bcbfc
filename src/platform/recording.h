// The facilities of a process with every call passed through unchanged, and every call that
// changes the machine and fails written to the run's log: the call's Win32 name, the paths it
// was given and the system's error code. What is set up for the next system start is written
// too. The logic above neither knows nor asks: it gets this platform in place of the real one.
//
// A failure that leaves the machine as the caller wanted it is not written: a folder to be made
// that exists already, a copy refused because its target exists and the caller said so, a file,
// folder, key or value to be deleted that is not there.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/run_log.h"

namespace platform {

class RecordingPlatform {
 public:
  RecordingPlatform(Platform& inner, const RunLog& log);
  ~RecordingPlatform();
  RecordingPlatform(const RecordingPlatform&) = delete;
  RecordingPlatform& operator=(const RecordingPlatform&) = delete;

  Platform& Get() { return platform_; }

 private:
  class Files;
  class Keys;
  class ShellCalls;
  class Processes;
  class SessionCalls;

  std::unique_ptr<Files> files_;
  std::unique_ptr<Keys> registry_;
  std::unique_ptr<ShellCalls> shell_;
  std::unique_ptr<Processes> process_;
  std::unique_ptr<SessionCalls> session_;
  Platform platform_;
};

// "error 5"; an HRESULT (its top bit set) as "error 0x80070005".
std::string ErrorText(unsigned code);

}  // namespace platform
