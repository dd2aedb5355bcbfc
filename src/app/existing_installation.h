// Whether and where the product is already installed, in which version, and how it was
// installed last time, so that a re-installation keeps those choices.
#pragma once

#include <cstdint>
#include <string>

#include "engine/setup_options.h"
#include "framework/framework.h"

// The folder of an installation the registry knows, without a trailing backslash; empty when
// there is none.
std::string FindExistingInstallation(platform::Platform& platform);

// The system's program files folder, without a trailing backslash.
std::string DefaultProgramFilesFolder(platform::Platform& platform);

// The folder of the running program file, without its last backslash.
std::string OwnFolder(platform::Platform& platform);

// The file version of a program file's version resource; 0.0.0.0 when it has none.
FileVersion ReadFileVersion(platform::Platform& platform, const std::string& path);

// The number by which two versions are ordered: ((major*100 + minor)*100 + build)*100 +
// revision in 32 bits, wrapping. A part above 99 spills into the next part's weight.
std::uint32_t VersionKey(const FileVersion& version);

enum class VersionCheck { Continue, Refuse };

// Reads the installed and the new product version (setting NewVersion) and decides whether the
// run goes on: as an upgrade when the new version is higher or the run is silent, otherwise
// only when the user says Yes to the older-version or same-version question.
VersionCheck CheckExistingVersion(framework::Application& app, SetupOptions& options);

// Takes the all-users choice and the program group of the installation in InstallFolder.
void RecoverPreviousChoices(platform::Platform& platform, SetupOptions& options);
