// The product's program group with its four shortcuts, and the desktop and startup shortcuts,
// each saved shortcut recorded in the installed log so that removal finds it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/run_report.h"
#include "engine/setup_options.h"
#include "framework/framework.h"

// Results as the shell's object interface reports them: negative on failure.
inline constexpr std::int32_t kShortcutSaved = 0;
// S_FALSE: saved, but its record could not be added to the installed log, so no removal would
// find it.
inline constexpr std::int32_t kShortcutSavedUnlogged = 1;
inline constexpr std::int32_t kShortcutFailed = static_cast<std::int32_t>(0x80004005u);  // E_FAIL

// Creates one shortcut to `target` (one pair of surrounding double quotes dropped) and, when
// it was saved, appends its "Shell Link: " record to the installed log. A target over 511
// characters or a shortcut path over 259 does not fit the buffers and is refused.
std::int32_t CreateShellLink(framework::Application& app, const SetupOptions& options,
                             const std::string& target, const std::string& shortcutPath,
                             const std::optional<std::string>& workingFolder);

// The program group with its four shortcuts, then the desktop and startup shortcuts as chosen,
// each saved one recorded in the installed log. Normalises GroupName, and clears AllUsers when
// the all-users program menu is unknown. Tells the report of a group folder not made and of
// every shortcut not saved.
void CreateProductShortcuts(framework::Application& app, SetupOptions& options, RunReport& report);
