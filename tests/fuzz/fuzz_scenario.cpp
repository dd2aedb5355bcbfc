#include "fuzz_scenario.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <optional>
#include <string_view>

#include "platform/sim/user.h"
#include "resources/catalogue.h"
#include "resources/resource_tables.h"
#include "unit/program_runner.h"

namespace fuzz {
namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using platform::kHkeyUsers;

constexpr char kDist[] = "D:\\Dist";
constexpr char kSetup[] = "D:\\Dist\\setup.exe";
constexpr char kDefaultFolder[] = "C:\\Program Files\\Pictavo 6";
// Blanks, and a byte that is a letter in code page 1252 and a lead byte in 932.
constexpr char kAccentFolder[] = "E:\\Programme\\Bild und Foto\\Pict\xE4vo 6";
constexpr char kSecondUser[] = "S-1-5-21-1000-1000-1000-1002";
constexpr char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kProductKey[] = "SOFTWARE\\Corvantis\\Pictavo 6";
constexpr char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictavo 6";
constexpr char kAppPathKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pictv6.exe";
constexpr char kDelayedPrefix[] = "at the next start: ";
// More would only slow each run down; the names are what matters.
constexpr std::size_t kMaxExtraFiles = 16;

std::string Lower(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return lowered;
}

// The steps of a path in lower case, "." and ".." worked out (never above the drive), joined
// by single backslashes: "C:\A\..\b\" and "c:/b" both give "c:\b".
std::string Normal(std::string_view path) {
  std::vector<std::string> steps;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of("\\/", start);
    if (end == std::string_view::npos) {
      end = path.size();
    }
    const std::string step = Lower(path.substr(start, end - start));
    if (step == "..") {
      if (steps.size() > 1) {
        steps.pop_back();
      }
    } else if (!step.empty() && step != ".") {
      steps.push_back(step);
    }
    start = end + 1;
  }
  std::string joined;
  for (const std::string& step : steps) {
    joined += (joined.empty() ? "" : "\\") + step;
  }
  return joined;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// `path` is `folder` or lies in it; both normal.
bool Within(const std::string& path, const std::string& folder, bool orItself) {
  if (path == folder) {
    return orItself;
  }
  return !folder.empty() && path.size() > folder.size() && StartsWith(path, folder) &&
         path[folder.size()] == '\\';
}

bool FileAllowed(std::string_view rawPath, const AllowedPlaces& places) {
  const std::string path = Normal(rawPath);
  if (Within(path, Normal(places.installFolder), true)) {
    return true;
  }
  for (const std::string& group : places.groupFolders) {
    if (Within(path, Normal(group), true)) {
      return true;
    }
  }
  for (const std::string& level : places.groupLevels) {
    if (path == Normal(level)) {
      return true;
    }
  }
  for (const std::string& shortcut : places.groupShortcuts) {
    if (path == Normal(shortcut)) {
      return true;
    }
  }
  for (const std::string& folder : places.shortcutFolders) {
    if (Within(path, Normal(folder), false)) {
      return true;
    }
  }
  return false;
}

// "at the next start: delete X" or "move A to B[, replacing]": every path named must be
// allowed. A name may hold " to " itself, so every split is tried.
bool DelayedAllowed(std::string_view operation, const AllowedPlaces& places) {
  if (StartsWith(operation, "delete ")) {
    return FileAllowed(operation.substr(7), places);
  }
  if (!StartsWith(operation, "move ")) {
    return false;
  }
  std::vector<std::string_view> bodies = {operation.substr(5)};
  constexpr std::string_view kReplacing = ", replacing";
  if (bodies[0].size() > kReplacing.size() &&
      bodies[0].substr(bodies[0].size() - kReplacing.size()) == kReplacing) {
    bodies.push_back(bodies[0].substr(0, bodies[0].size() - kReplacing.size()));
  }
  for (std::string_view body : bodies) {
    for (std::size_t at = body.find(" to "); at != std::string_view::npos;
         at = body.find(" to ", at + 1)) {
      if (FileAllowed(body.substr(0, at), places) && FileAllowed(body.substr(at + 4), places)) {
        return true;
      }
    }
  }
  return false;
}

// A registry line of Registry::Dump: a key, or "key : name = value".
bool RegistryAllowed(std::string_view line) {
  const std::size_t separator = line.find(" : ");
  const bool isKey = separator == std::string_view::npos;
  const std::string key = Lower(line.substr(0, separator));
  std::string below;  // the path below the hive, and for HKU below the user's key
  bool localMachine = false;
  if (StartsWith(key, "hklm\\")) {
    below = key.substr(5);
    localMachine = true;
  } else if (StartsWith(key, "hku\\")) {
    const std::size_t user = key.find('\\', 4);
    if (user == std::string::npos) {
      return false;
    }
    below = key.substr(user + 1);
  } else {
    return false;
  }
  std::vector<std::string> subtrees = {Lower(kProductKey)};
  if (localMachine) {
    subtrees.push_back(Lower(kUninstallKey));
    subtrees.push_back(Lower(kAppPathKey));
    subtrees.push_back("software\\classes\\pv6.document");
  }
  for (const std::string& subtree : subtrees) {
    if (Within(below, subtree, true)) {
      return true;
    }
  }
  return isKey && below == "software\\corvantis";
}

bool LineAllowed(const std::string& line, const AllowedPlaces& places) {
  if (StartsWith(line, kDelayedPrefix)) {
    return DelayedAllowed(std::string_view(line).substr(sizeof kDelayedPrefix - 1), places);
  }
  if (line == "HKLM" || line == "HKU" || StartsWith(line, "HKLM\\") || StartsWith(line, "HKU\\")) {
    return RegistryAllowed(line);
  }
  // "path [attributes]..." for a folder or a file; a name may hold " [" itself.
  const std::size_t attributes = line.rfind(" [");
  if (attributes == std::string::npos) {
    return false;
  }
  const std::string path = line.substr(0, attributes);
  return FileAllowed(path, places) || Normal(path) == Normal(places.restartFile);
}

// A shortcut or a folder below a Programs folder that a log's records took away.
bool GoneFromAProgramMenu(const std::string& line, const AllowedPlaces& places) {
  const std::size_t attributes = line.rfind(" [");
  if (attributes == std::string::npos) {
    return false;
  }
  const std::string path = Normal(line.substr(0, attributes));
  const std::string lowered = Lower(path);
  const bool folder = !path.empty() && line[attributes - 1] == '\\';
  const bool shortcut = lowered.size() > 4 && (lowered.substr(lowered.size() - 4) == ".lnk" ||
                                               lowered.substr(lowered.size() - 4) == ".pif" ||
                                               lowered.substr(lowered.size() - 4) == ".url");
  return (folder || shortcut) &&
         std::any_of(places.programMenus.begin(), places.programMenus.end(),
                     [&](const std::string& menu) { return Within(path, menu, false); });
}

// The program's own names for its group shortcuts, from the resources it loads them from.
std::vector<std::string> GroupShortcutNames() {
  std::vector<std::string> names;
  for (const resources::StringEntry& entry : resources::StringTable()) {
    for (unsigned id : {catalogue::kProductName, catalogue::kHelpShortcut,
                        catalogue::kReadmeShortcut, catalogue::kUninstallShortcut}) {
      if (entry.id == id) {
        names.push_back(std::string(entry.text) + ".lnk");
      }
    }
  }
  return names;
}

std::vector<std::string> Sorted(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

// The machine before the product came: a second user, the keys an installer finds, another
// product of the company, and files and folders an escaping record could reach: a sibling
// folder whose name begins like the install folder's, an empty folder, a shortcut outside the
// shell folders and another program's group.
void LayDownTheMachine(sim::Machine& machine, const FuzzInput& input) {
  if (input.switches & kWindows64) {
    machine.System().SetWindows64Bit(true);
  }
  if (input.switches & kDoubleByteCodePage) {
    machine.System().SetCodePage(932);
  }
  if (input.moreSwitches & kDelayedOperationsRefused) {
    machine.Faults().Add(sim::Fault{.error = platform::kErrorAccessDenied,
                                    .call = "MoveFileExA",
                                    .object = sim::kLocalMachine,
                                    .lasting = true});
  }
  sim::Registry& registry = machine.Registry();
  registry.AddUser(kSecondUser);
  registry.CreateKey(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
  registry.CreateKey(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths");
  registry.SetString(kHkeyLocalMachine, "SOFTWARE\\Corvantis\\Pictavo Capture", "Path",
                     "C:\\Capture");
  registry.SetString(kHkeyCurrentUser, "SOFTWARE\\Corvantis\\Pictavo Capture\\Settings", "Zoom",
                     "1");
  machine.Processes().AddSystemLibrary("pvsys.dll");

  sim::FileSystem& files = machine.Files();
  files.WriteFile("C:\\Program Files\\Pictavo 6 Data\\keep.txt", "keep");
  files.WriteFile("C:\\Program Files\\Other\\other.exe", "other");
  files.CreateFolders("C:\\Program Files\\Common Files");
  files.WriteFile("C:\\Users\\User\\Documents\\shot.png", "mine");
  files.WriteFile("C:\\Users\\User\\Documents\\Holiday.lnk", "shortcut");
  const std::string programs =
      registry.GetString(kHkeyLocalMachine, kShellFolders, "Common Programs").value();
  files.WriteFile(programs + "\\Other\\Other.lnk", "shortcut");
}

void LayDownTheDistribution(sim::Machine& machine, const FuzzInput& input) {
  sim::FileSystem& files = machine.Files();
  const std::string dist = kDist;
  for (const char* name : {"setup.exe", "Pictv6Man.chm", "readme.txt", "HomePage.url",
                           "agreement.txt", "samples.txt", "pvcodec.dll", "pvsys.dll",
                           "Samples\\Lake.pvs", "Samples\\Night.pvs", "Samples\\Deep\\Dawn.pvs"}) {
    files.WriteFile(dist + "\\" + name, name);
  }
  files.WriteFile(dist + "\\Pictv6.exe", "product");
  files.SetFileVersion(dist + "\\Pictv6.exe", platform::FixedFileVersion{0x0006001E, 0x00020000});
  for (std::size_t i = 0; i < input.extraFiles.size() && i < kMaxExtraFiles; ++i) {
    const std::string& name = input.extraFiles[i];
    // Only names a file in the distribution can have: the test lays down no file elsewhere.
    const bool unfit = name.find_first_of("*?\"<>|:") != std::string::npos ||
                       std::any_of(name.begin(), name.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 32; }) ||
                       !Within(Normal(dist + "\\" + name), Normal(dist), false);
    if (unfit) {
      continue;
    }
    try {
      files.WriteFile(dist + "\\" + name, name);
    } catch (const sim::ScriptError&) {
      // A file where a folder of the name should be: that name is left out.
    }
  }
  files.WriteFile(dist + "\\PictvUnInst.log", input.manifest);
  if (input.switches & kReadOnlyManifest) {
    files.SetAttributes(dist + "\\PictvUnInst.log", platform::kAttributeReadOnly);
  }
}

// An earlier version of the product as its installation left it, with the second section as
// its installed log; or, without one registered, an install folder left behind that holds the
// logs the input gives.
void LayDownTheEarlierInstallation(sim::Machine& machine, const FuzzInput& input,
                                   const std::string& folder) {
  sim::FileSystem& files = machine.Files();
  sim::Registry& registry = machine.Registry();
  if (input.switches & kExistingInstallation) {
    const bool allUsers = !(input.switches & kCurrentUserInstallation);
    if (!(input.moreSwitches & kRegisteredByAppPathOnly)) {
      registry.SetString(kHkeyLocalMachine, kProductKey, "Path", folder);
    }
    registry.SetString(kHkeyLocalMachine, kProductKey, "AllUsers", allUsers ? "B" : "A");
    registry.SetString(kHkeyLocalMachine, kAppPathKey, "", folder + "\\Pictv6.exe");
    registry.SetString(kHkeyLocalMachine, kUninstallKey, "UninstallString",
                       "\"" + folder + "\\PictvUnInst.exe\"");
    for (const char* name : {"PictvUnInst.exe", "readme.txt", "Samples\\Lake.pvs"}) {
      files.WriteFile(folder + "\\" + name, "earlier");
    }
    files.WriteFile(folder + "\\Pictv6.exe", "earlier product");
    files.SetFileVersion(folder + "\\Pictv6.exe",
                         platform::FixedFileVersion{0x00060014, 0x00000000});
    if (input.moreSwitches & kProductLocked) {
      files.SetInUse(folder + "\\Pictv6.exe", sim::InUse::NotRenamable);
    } else if (input.moreSwitches & kProductRunning) {
      files.SetInUse(folder + "\\Pictv6.exe", sim::InUse::NotDeletable);
    }
    const std::string group =
        registry
            .GetString(allUsers ? kHkeyLocalMachine : kHkeyCurrentUser, kShellFolders,
                       allUsers ? "Common Programs" : "Programs")
            .value() +
        "\\Pictavo 6";
    files.WriteFile(group + "\\Pictavo 6.lnk", "shortcut");
  }
  if (input.installedLog) {
    files.WriteFile(folder + "\\PictvUnInst.log", *input.installedLog);
  }
  if (input.olderLog) {
    files.WriteFile(folder + "\\install.log", *input.olderLog);
  }
}

// Runs a program of the machine; a box or dialog in a silent run reaches the scripted user,
// who has nothing to answer, and becomes a problem.
template <typename Run>
bool RunSilently(Run run, const std::string& what, std::vector<std::string>& problems) {
  try {
    run();
    return true;
  } catch (const sim::ScriptError& error) {
    problems.push_back(what + " met the user: " + error.what());
  } catch (const std::exception& error) {
    problems.push_back(what + " threw: " + error.what());
  }
  return false;
}

void Check(sim::Machine& machine, const std::vector<std::string>& before,
           const AllowedPlaces& places, const std::string& stage,
           std::vector<std::string>& problems) {
  for (const std::string& change : ChangesOutside(before, machine.Snapshot(), places)) {
    problems.push_back(stage + ", changed outside the product's places: " + change);
  }
  for (const std::string& entry : RestartEntriesOutside(machine, places)) {
    problems.push_back(stage + ", WININIT.INI reaches outside the product's places: " + entry);
  }
  if (const std::size_t open = machine.Registry().OpenHandles(); open != 0) {
    problems.push_back(stage + ", registry handles left open: " + std::to_string(open));
  }
}

}  // namespace

AllowedPlaces ProductPlaces(sim::Machine& machine, const std::string& installFolder,
                            const std::vector<std::string>& groupNames) {
  // The places as the machine resolves them: ".." steps, a name's final dots and blanks, aliases.
  sim::FileSystem& files = machine.Files();
  AllowedPlaces places;
  places.installFolder = files.FullPath(installFolder);
  places.restartFile = files.FullPath(machine.System().GetWindowsDirectory() + "\\WININIT.INI");
  sim::Registry& registry = machine.Registry();
  std::vector<std::pair<platform::RegistryKey, std::string>> shellFolders = {
      {kHkeyLocalMachine, kShellFolders}};
  for (const std::string& sid : registry.UserSids()) {
    shellFolders.emplace_back(kHkeyUsers, sid + "\\" + kShellFolders);
  }
  for (const auto& [root, key] : shellFolders) {
    const char* prefix = root == kHkeyLocalMachine ? "Common " : "";
    for (const char* name : {"Startup", "Desktop"}) {
      if (auto folder = registry.GetString(root, key, prefix + std::string(name))) {
        places.shortcutFolders.push_back(files.FullPath(*folder));
      }
    }
    const std::optional<std::string> programs =
        registry.GetString(root, key, prefix + std::string("Programs"));
    if (!programs) {
      continue;
    }
    const std::string base = Normal(files.FullPath(*programs));
    places.programMenus.push_back(base);
    for (const std::string& name : groupNames) {
      const std::string group = Normal(files.FullPath(*programs + "\\" + name));
      if (group == base) {
        for (const std::string& shortcut : GroupShortcutNames()) {
          places.groupShortcuts.push_back(base + "\\" + shortcut);
        }
        continue;
      }
      if (!Within(group, base, false)) {
        continue;
      }
      places.groupFolders.push_back(group);
      for (std::size_t at = group.find('\\', base.size() + 1); at != std::string::npos;
           at = group.find('\\', at + 1)) {
        places.groupLevels.push_back(group.substr(0, at));
      }
    }
  }
  return places;
}

std::vector<std::string> ChangesOutside(std::vector<std::string> before,
                                        std::vector<std::string> after,
                                        const AllowedPlaces& places) {
  before = Sorted(std::move(before));
  after = Sorted(std::move(after));
  std::vector<std::string> gone;
  std::vector<std::string> added;
  std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                      std::back_inserter(gone));
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                      std::back_inserter(added));
  std::vector<std::string> changes;
  for (const std::string& line : gone) {
    if (!LineAllowed(line, places) && !GoneFromAProgramMenu(line, places)) {
      changes.push_back("- " + line);
    }
  }
  for (const std::string& line : added) {
    if (!LineAllowed(line, places)) {
      changes.push_back("+ " + line);
    }
  }
  return changes;
}

std::vector<std::string> RestartEntriesOutside(sim::Machine& machine, const AllowedPlaces& places) {
  std::vector<std::string> outside;
  const auto entries = machine.Files().ProfileSection(places.restartFile, "rename");
  if (!entries) {
    return outside;
  }
  sim::FileSystem& files = machine.Files();
  for (const auto& [target, source] : *entries) {
    const bool deletes = Lower(target) == "nul";
    if (!FileAllowed(files.FullPath(source), places) ||
        (!deletes && !FileAllowed(files.FullPath(target), places))) {
      outside.push_back(target + "=" + source);
    }
  }
  return outside;
}

std::vector<std::string> RunScenario(const FuzzInput& input) {
  sim::Machine machine;
  LayDownTheMachine(machine, input);
  LayDownTheDistribution(machine, input);
  const bool elsewhere = input.switches & kFolderWithBlanksAndAccents;
  const std::string folder = elsewhere ? kAccentFolder : kDefaultFolder;
  std::vector<std::string> arguments = {"-s"};
  if (elsewhere && !(input.switches & kExistingInstallation)) {
    // A new installation goes elsewhere only by -instdir, which takes an existing folder.
    machine.Files().CreateFolders(folder);
    arguments.insert(arguments.end(), {"-instdir", folder});
  }
  if (input.switches & kAutostart) {
    arguments.push_back("-autostart");
  }
  if (input.switches & kNoDesktopIcon) {
    arguments.push_back("-nodeskico");
  }
  LayDownTheEarlierInstallation(machine, input, folder);
  const std::vector<std::string> before = machine.Snapshot();

  std::vector<std::string> problems;
  std::vector<std::string> groups = {"Pictavo 6"};
  const bool installed = RunSilently(
      [&] { groups.push_back(RunProgram(machine, kSetup, arguments).options.GroupName); },
      "the installation", problems);
  Check(machine, before, ProductPlaces(machine, folder, groups), "after the installation",
        problems);
  if (!installed) {
    return problems;
  }

  // Without an uninstaller from the manifest the user runs one they kept: the removal is
  // exercised on every input.
  const std::string uninstaller = folder + "\\PictvUnInst.exe";
  if (!machine.Files().Exists(uninstaller)) {
    machine.Files().WriteFile(uninstaller, "setup.exe");
  }
  RunSilently(
      [&] {
        RunProgram(machine, uninstaller, {"-s"});
        RunRemovalTail(machine);
      },
      "the removal", problems);
  machine.Reboot();
  Check(machine, before, ProductPlaces(machine, folder, groups),
        "after the removal and the next start", problems);
  return problems;
}

}  // namespace fuzz
