// The mark of a setup that changes the machine: the one that holds it must not be closed by
// another setup half way through, and the other must not install or remove meanwhile.
#pragma once

#include "platform/session.h"

// Held while the object lives. The mark goes with the process, however it ends, since it is a
// named object that lives as long as a handle to it.
class BusySetup {
 public:
  explicit BusySetup(platform::Session& session);
  ~BusySetup();
  BusySetup(const BusySetup&) = delete;
  BusySetup& operator=(const BusySetup&) = delete;

 private:
  platform::Session& session_;
  platform::KernelHandle mark_;
};

// Whether another process holds the busy mark.
bool AnotherSetupIsBusy(platform::Session& session);
