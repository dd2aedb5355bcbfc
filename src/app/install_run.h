#pragma once

class CSetupApp;

// The install run. 0 when it reached its end with the product installed, 1 when the user
// refused to go on or left the wizard; a damaged distribution ends the process with code 1.
int InstallRun(CSetupApp& app);
