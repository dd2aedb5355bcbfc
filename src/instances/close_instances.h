// Closing the product's other running programs before files are installed or removed.
#pragma once

#include "framework/framework.h"
#include "instances/instance_manager.h"

// End: the user declined. Busy: another setup is installing or removing the product right now;
// nothing was asked or closed.
enum class CloseResult { Continue, End, Busy };

// The first parameter of the close request (WM_CLOSE) that the product's programs know as the
// setup's.
inline constexpr unsigned kSetupCloseCode = 1001;

// Asks whether the other running programs may be closed when `askBeforeClosing` says so (an
// installation's command line decides that), then asks each to close and ends it. End only when
// the user declined; Busy, before anything, while another setup marks itself busy.
CloseResult CloseRunningInstances(framework::Application& app, COXInstanceManager& instances,
                                  bool askBeforeClosing);
