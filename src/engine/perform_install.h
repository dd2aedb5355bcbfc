// The one entry of the install engine: an installation whose choices are settled in
// SetupOptions. It lives above the engine because it also uses the log replay of the removal.
#pragma once

#include "engine/deployment.h"
#include "engine/run_report.h"
#include "engine/setup_options.h"
#include "engine/wow64_query.h"
#include "framework/framework.h"

// Clears what an earlier installation in the folder left in the start menu and what the new
// distribution declares obsolete, deploys the files, writes the installed log, creates the
// shortcuts, registers the product and takes over preset files. Every step runs whatever the
// earlier ones achieved and tells the report what it could not do; the one exception keeps an
// uninstall entry from pointing at an uninstaller that cannot remove the product: without the
// uninstaller and the installed log in place, whole, no shortcut or entry is made, and a new
// installation's files are taken away again. May change GroupName and AllUsers. `progress`,
// when given, is told how far the files have got.
void PerformInstall(framework::Application& app, SetupOptions& options, const Wow64Query& wow64,
                    RunReport& report, DeploymentProgress* progress = nullptr);
