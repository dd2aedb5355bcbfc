#include "app/existing_installation.h"

#include "engine/distribution.h"
#include "engine/format_text.h"
#include "engine/install_log.h"
#include "engine/paths.h"
#include "engine/registration.h"
#include "engine/registry_values.h"
#include "engine/shell_folders.h"
#include "engine/text.h"
#include "resources/catalogue.h"

namespace {

constexpr char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// A shell folder as the log's paths begin with it: lower case, a backslash behind.
std::string FolderPrefix(platform::Platform& platform, bool allUsers, const char* kind) {
  return LowerCase(
      WithoutTrailingBackslash(platform.system, ShellFolder(platform.registry, allUsers, kind)) +
      "\\");
}

bool IsShellLink(const std::optional<LogRecord>& record) {
  return record && record->kind == LogRecordKind::ShellLink;
}

// Whether the log records a shortcut in the all-users program menu or desktop.
bool LogsSharedShortcuts(platform::Platform& platform, InstallLog& log) {
  const std::string programs = FolderPrefix(platform, true, "Programs");
  const std::string desktop = FolderPrefix(platform, true, "Desktop");
  while (std::optional<std::string> line = log.ReadLogLine()) {
    const std::optional<LogRecord> record = ParseLogRecord(*line);
    const std::string lowered = record ? LowerCase(record->argument) : std::string();
    if (IsShellLink(record) && (lowered.compare(0, programs.size(), programs) == 0 ||
                                lowered.compare(0, desktop.size(), desktop) == 0)) {
      return true;
    }
  }
  return false;
}

// The group of the last group shortcut the log records in the program menu; none when it
// records none. Every group shortcut lies in the one group folder; the startup and desktop
// shortcuts never qualify. An empty Startup folder occurs in every path, so then nothing does.
std::optional<std::string> LoggedGroup(platform::Platform& platform, InstallLog& log,
                                       bool allUsers) {
  const std::string programs = FolderPrefix(platform, allUsers, "Programs");
  const std::string startup = LowerCase(ShellFolder(platform.registry, allUsers, "Startup"));
  std::optional<std::string> group;
  while (std::optional<std::string> line = log.ReadLogLine()) {
    const std::optional<LogRecord> record = ParseLogRecord(*line);
    if (!IsShellLink(record)) {
      continue;
    }
    const std::string lowered = LowerCase(record->argument);
    if (lowered.compare(0, programs.size(), programs) == 0 &&
        lowered.find(startup) == std::string::npos) {
      // The log lies in the install folder, where its user may write, and the update may run
      // with more rights: a group that would climb out of the program menu is not taken.
      const std::string found =
          ParentFolder(platform.system, record->argument.substr(programs.size()));
      if (found.empty() || StaysInsideFolder(found)) {
        group = found;
      }
    }
  }
  return group;
}

}  // namespace

std::string FindExistingInstallation(platform::Platform& platform) {
  std::string folder = ReadRegistryString(platform.registry, platform::kHkeyLocalMachine,
                                          registration::kProductKey, registration::kPathValue);
  if (folder.empty()) {
    // The application path names the program file itself; the name is matched as written.
    const std::string program = ReadRegistryString(platform.registry, platform::kHkeyLocalMachine,
                                                   registration::kAppPathKey, "");
    const std::string name = std::string("\\") + distribution::kProductProgram;
    std::size_t at = FindCharacter(platform.system, program, "\\");
    while (at != std::string::npos && program.compare(at, name.size(), name) != 0) {
      at = FindCharacter(platform.system, program, "\\", at + 1);
    }
    folder = at == std::string::npos ? std::string() : program.substr(0, at);
  }
  return WithoutTrailingBackslash(platform.system, folder);
}

std::string DefaultProgramFilesFolder(platform::Platform& platform) {
  std::string folder = ReadRegistryString(platform.registry, platform::kHkeyLocalMachine,
                                          kCurrentVersionKey, "ProgramFilesDir");
  if (folder.empty()) {
    // The drive root of the Windows folder: C:\WINDOWS gives C:\.
    const std::string windows = platform.system.GetWindowsDirectory();
    const std::size_t firstSlash = FindCharacter(platform.system, windows, "\\");
    folder =
        (firstSlash == std::string::npos ? windows + "\\" : windows.substr(0, firstSlash + 1)) +
        "Program Files";
  }
  return WithoutTrailingBackslash(platform.system, folder);
}

std::string OwnFolder(platform::Platform& platform) {
  return ParentFolder(platform.system, ProgramFilePath(platform.process.ModuleFileName()));
}

FileVersion ReadFileVersion(platform::Platform& platform, const std::string& path) {
  const std::optional<platform::FixedFileVersion> fixed =
      platform.versions.GetFixedFileVersion(path);
  if (!fixed) {
    return {};
  }
  return {static_cast<std::uint16_t>(fixed->fileVersionMS >> 16),
          static_cast<std::uint16_t>(fixed->fileVersionMS & 0xFFFF),
          static_cast<std::uint16_t>(fixed->fileVersionLS >> 16),
          static_cast<std::uint16_t>(fixed->fileVersionLS & 0xFFFF)};
}

std::uint32_t VersionKey(const FileVersion& version) {
  std::uint32_t key = version.major;
  key = key * 100 + version.minor;
  key = key * 100 + version.build;
  return key * 100 + version.revision;
}

VersionCheck CheckExistingVersion(framework::Application& app, SetupOptions& options) {
  platform::Platform& platform = app.GetPlatform();
  const std::string product = std::string("\\") + distribution::kProductProgram;
  const FileVersion installed = ReadFileVersion(platform, options.InstallFolder + product);
  options.NewVersion = ReadFileVersion(platform, options.SourceFolder + product);
  const FileVersion& offered = options.NewVersion;

  if (options.Silent || VersionKey(installed) < VersionKey(offered)) {
    options.Upgrade = true;
    return VersionCheck::Continue;
  }
  const std::string question =
      VersionKey(offered) < VersionKey(installed)
          ? FormatText(app.LoadString(catalogue::kOlderVersion),
                       {installed.major, installed.minor, installed.build, installed.revision,
                        offered.major, offered.minor, offered.build, offered.revision})
          : FormatText(app.LoadString(catalogue::kSameVersion),
                       {offered.major, offered.minor, offered.build, offered.revision});
  const platform::BoxStyle style{platform::Buttons::YesNo, platform::Icon::Question};
  if (app.MessageBox(question, style) != platform::BoxResult::Yes) {
    return VersionCheck::Refuse;
  }
  options.Upgrade = false;
  return VersionCheck::Continue;
}

void RecoverPreviousChoices(platform::Platform& platform, SetupOptions& options) {
  const std::string allUsers =
      ReadRegistryString(platform.registry, platform::kHkeyLocalMachine, registration::kProductKey,
                         registration::kAllUsersValue);
  options.AllUsers = allUsers == registration::kAllUsersOn;

  InstallLog log(platform.files, options.InstallFolder + "\\" + distribution::kManifest);
  if (!log.IsOpen()) {
    log = InstallLog(platform.files, options.InstallFolder + "\\" + distribution::kOlderLog);
    if (!log.IsOpen()) {
      // Neither the value nor a log to tell it (what a removal cut short after both leaves):
      // the choice a new installation would make.
      if (allUsers.empty()) {
        options.AllUsers = options.Silent;
      }
      return;
    }
  }
  if (allUsers.empty()) {
    // No value: the run that installed could not write it, or a removal was cut short after
    // the product key. Where the logged shortcuts lie tells the choice instead.
    options.AllUsers = LogsSharedShortcuts(platform, log);
    log.Rewind();
  }
  if (const std::optional<std::string> group = LoggedGroup(platform, log, options.AllUsers)) {
    options.GroupName = *group;
  }
}
