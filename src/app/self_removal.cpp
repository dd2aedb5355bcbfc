#include "app/self_removal.h"

#include "app/setup_app.h"

// Not built yet: nothing is removed, and the exit code says the run did not happen.
void SelfRemovalRun(CSetupApp& app, const std::string&) {
  app.GetPlatform().process.ExitProcess(1);
}

// Not built yet: no copy is started, which is the failure this function already reports by
// returning.
void HandOverToTempCopy(CSetupApp&) {}
