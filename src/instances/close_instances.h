// Closing the product's other running programs before files are installed or removed.
#pragma once

#include "instances/instance_manager.h"
#include "platform/framework.h"

// End: the user declined. Busy: another setup is installing or removing the product right now;
// nothing was asked or closed.
enum class CloseResult { Continue, End, Busy };

// The first parameter of the close request (WM_CLOSE) that the product's programs know as the
// setup's.
inline constexpr unsigned kSetupCloseCode = 1001;

// Asks whether the other running programs may be closed when `askBeforeClosing` says so (an
// installation's command line decides that), then asks each to close and ends it. End only when
// the user declined; Busy, before anything, while another setup marks itself busy.
CloseResult CloseRunningInstances(platform::Application& app, COXInstanceManager& instances,
                                  bool askBeforeClosing);

// The mark of a setup that is installing or removing the product, held while the object lives:
// another setup must not close it then, half way through. The mark goes with the process,
// however it ends, since it is a named object that lives as long as a handle to it.
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
