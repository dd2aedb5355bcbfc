// The choices and findings of one run, carried from the command line, the existing-installation
// check and the wizard pages to the install engine. One record per process, created at start-up.
#pragma once

#include <cstdint>
#include <string>

// A four-part file version as a version resource's fixed information holds it; 0.0.0.0 means
// no version.
struct FileVersion {
  std::uint16_t major = 0;
  std::uint16_t minor = 0;
  std::uint16_t build = 0;
  std::uint16_t revision = 0;
  bool operator==(const FileVersion&) const = default;
};

// Folders are kept without a trailing backslash; texts are ANSI.
struct SetupOptions {
  std::string InstallFolder;
  std::string SourceFolder;
  std::string GroupName;
  bool AllUsers = false;
  bool Autostart = false;
  bool DesktopIcon = true;
  bool RunAfter = false;
  bool Silent = false;
  bool NewInstall = false;
  bool Upgrade = false;
  FileVersion NewVersion;
};
