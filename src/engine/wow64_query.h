// Whether this 32-bit program runs on 64-bit Windows, which decides the manifest's x64 copies.
#pragma once

#include "platform/system.h"

// The system's entry is looked up once, when the object is made at start-up, before the run is
// decided.
class Wow64Query {
 public:
  explicit Wow64Query(platform::System& system)
      : system_(system), hasEntry_(system.HasIsWow64Process()) {}

  bool IsRunningOnWow64() const { return hasEntry_ && system_.IsWow64Process(); }

 private:
  platform::System& system_;
  bool hasEntry_;
};
