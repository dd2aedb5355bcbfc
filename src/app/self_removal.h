#pragma once

#include <string>

class CSetupApp;

// The temporary copy's run: removes the product and the uninstaller file that handed over, and
// ends the process. Never returns.
[[noreturn]] void SelfRemovalRun(CSetupApp& app, const std::string& uninstallerPath);

// Starts a temporary copy of this program with "-delself" and ends this process. Returns only
// when the copy could not be started; nothing has been removed then.
void HandOverToTempCopy(CSetupApp& app);
