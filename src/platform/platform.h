// The one door between the program's logic and the operating system. The logic includes the
// headers of this folder only, never <windows.h>; platform/win32 makes the real calls and
// platform/sim runs the same logic on a simulated machine for the tests.
//
// Each facility is a small interface whose operations keep the meaning of the Win32 calls they
// stand for: the same success and failure cases, so that the logic keeps every rule about buffer
// sizes, error results and the order of steps. Values travel as std::string and plain structs.
#pragma once

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/session.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "platform/version.h"

namespace platform {

// The facilities of one process. Owned by the process's start-up code; the logic holds it by
// reference and never keeps it beyond the process.
struct Platform {
  Process& process;
  UserInterface& ui;
  FileSystem& files;
  Registry& registry;
  VersionResources& versions;
  System& system;
  Shell& shell;
  Dialogs& dialogs;
  Session& session;
};

}  // namespace platform
