#include "app/program.h"

int SetupProgram::Run() {
  // Whatever InitInstance returns, no window stays open: the program ends here.
  app_.InitInstance();
  return 0;
}
