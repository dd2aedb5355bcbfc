#include "app/program.h"

int SetupProgram::Run() {
  if (!instances_.HasLocks()) {
    return 1;
  }
  // Whatever InitInstance returns, no window stays open: the program ends here.
  app_.InitInstance();
  return 0;
}
