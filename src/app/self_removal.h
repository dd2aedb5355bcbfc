#pragma once

#include <string>

#include "app/outcome.h"

class CSetupApp;

// The temporary copy's run: removes the product and ends the process with the outcome's exit
// code. Started with "-outcome", the uninstaller that started it waits for that code, holding
// its own file: the file and the install folder are then left to the copy it starts next.
// Never returns.
[[noreturn]] void SelfRemovalRun(CSetupApp& app, const std::string& uninstallerPath);

// Starts a temporary copy of this program with "-delself", which removes the product, and
// waits for its outcome; then starts the copy once more to take away this program's file and
// the install folder once this process has ended. Returns the removal's outcome.
Outcome HandOverToTempCopy(CSetupApp& app);
