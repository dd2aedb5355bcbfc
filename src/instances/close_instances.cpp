#include "instances/close_instances.h"

// The shared instance list is not built yet, and no program of the product registers in it:
// there is no other instance to find, so none is closed and the run goes on.
CloseResult CloseRunningInstances(platform::Application&, bool) {
  return CloseResult::Continue;
}
