#include "app/install_run.h"

// Not built yet: the run installs nothing and says so with its refusal result.
int InstallRun(CSetupApp&) {
  return 1;
}
