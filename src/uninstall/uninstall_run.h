// Removal of the installed product from its folder, in fixed phases: registry, image file
// associations, the logs' shortcuts and folders, the logs' files, the log and the folder, and
// last the shortcuts and group that carry the product's fixed name, for every user.
#pragma once

#include <array>
#include <string>

#include "engine/run_report.h"
#include "platform/platform.h"

// The image types whose association the product may have taken, in the order they are handled.
inline constexpr std::array<const char*, 11> ImageExtensionTable = {
    ".bmp", ".dib", ".gif", ".jpg", ".jpeg", ".tif", ".tiff", ".png", ".cmp", ".tga", ".wpg"};

// `installFolder` ends with a backslash. Every step is tried whatever the earlier ones
// achieved. What is in use goes at the next system start, with the folders that hold it; what
// can neither go now nor then is a shortfall of the report, and so is a product key that stays.
void RunUninstall(platform::Platform& platform, const std::string& installFolder,
                  RunReport& report);

void RemoveProductRegistry(platform::Registry& registry);
void RestoreImageAssociations(platform::Platform& platform);
void RemoveFixedShortcuts(platform::Platform& platform, RunReport& report);
