// The one entry of the install engine: an installation whose choices are settled in
// SetupOptions. It lives above the engine because it also uses the log replay of the removal.
#pragma once

#include "engine/setup_options.h"
#include "engine/helpers.h"
#include "platform/framework.h"

// Clears what an earlier installation in the folder left in the start menu and what the new
// distribution declares obsolete, deploys the files, writes the installed log, creates the
// shortcuts, registers the product and takes over preset files. Every step runs whatever the
// earlier ones achieved; nothing is reported. May change GroupName and AllUsers. Returns 0.
int PerformInstall(platform::Application& app, SetupOptions& options, const Wow64Query& wow64);
