#include "platform/sim/machine.h"

#include <cctype>

#include "resources/resource_tables.h"

namespace sim {
namespace {

// Carries ExitProcess's code out of the simulated program to Process::Run.
struct ProcessExit {
  unsigned exitCode;
};

std::string Quoted(const std::string& argument) {
  return argument.find_first_of(" \t") == std::string::npos ? argument : "\"" + argument + "\"";
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> arguments;
  std::size_t i = 0;
  const auto blank = [&](std::size_t at) {
    return at < commandLine.size() && (commandLine[at] == ' ' || commandLine[at] == '\t');
  };
  // The program: quotes group it and go, backslashes are plain characters.
  std::string program;
  bool quoted = false;
  while (i < commandLine.size() && (quoted || !blank(i))) {
    if (commandLine[i] == '"') {
      quoted = !quoted;
    } else {
      program += commandLine[i];
    }
    ++i;
  }
  if (commandLine.empty()) {
    return arguments;
  }
  arguments.push_back(program);
  while (true) {
    while (blank(i)) {
      ++i;
    }
    if (i >= commandLine.size()) {
      break;
    }
    std::string argument;
    quoted = false;
    while (i < commandLine.size() && (quoted || !blank(i))) {
      std::size_t backslashes = 0;
      while (i < commandLine.size() && commandLine[i] == '\\') {
        ++backslashes;
        ++i;
      }
      if (i < commandLine.size() && commandLine[i] == '"') {
        argument.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          argument += '"';
        } else if (quoted && i + 1 < commandLine.size() && commandLine[i + 1] == '"') {
          argument += '"';
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        argument.append(backslashes, '\\');
        if (i < commandLine.size() && (quoted || !blank(i))) {
          argument += commandLine[i];
          ++i;
        }
      }
    }
    arguments.push_back(argument);
  }
  return arguments;
}

Process::Process(Machine& machine, unsigned id, ProcessSpec spec)
    : machine_(machine), id_(id), spec_(std::move(spec)), platform_{processFacility_,
                                                                    uiFacility_,
                                                                    filesFacility_,
                                                                    machine.Registry(),
                                                                    versionsFacility_,
                                                                    machine.System(),
                                                                    shellFacility_} {
  commandLine_ = Quoted(spec_.programName.empty() ? spec_.modulePath : spec_.programName);
  for (const std::string& argument : spec_.arguments) {
    commandLine_ += " " + Quoted(argument);
  }
  std::string start = spec_.currentFolder;
  if (start.empty()) {
    const std::size_t slash = spec_.modulePath.find_last_of("\\/");
    start = slash == std::string::npos ? std::string() : spec_.modulePath.substr(0, slash + 1);
  }
  machine_.Files().AddProcess(id_, start);
}

unsigned Process::Run(const std::function<int(platform::Platform&)>& main) {
  if (exitCode_ || running_) {
    throw ScriptError("process " + std::to_string(id_) + " has already run");
  }
  // Whatever way the program leaves, its holds on the machine end with it.
  struct Ending {
    Process& process;
    ~Ending() {
      process.running_ = false;
      process.machine_.Files().ProcessEnded(process.id_);
    }
  };
  running_ = true;
  machine_.Files().ProcessStarted(id_, spec_.modulePath);
  Ending ending{*this};
  try {
    exitCode_ = static_cast<unsigned>(main(platform_));
  } catch (const ProcessExit& exit) {
    exitCode_ = exit.exitCode;
  }
  return *exitCode_;
}

std::string Process::ProcessFacility::ModuleFileName() {
  return owner_.spec_.modulePath;
}

std::vector<std::string> Process::ProcessFacility::Arguments() {
  const ProcessSpec& spec = owner_.spec_;
  std::vector<std::string> arguments;
  arguments.push_back(spec.programName.empty() ? spec.modulePath : spec.programName);
  arguments.insert(arguments.end(), spec.arguments.begin(), spec.arguments.end());
  return arguments;
}

void Process::ProcessFacility::EndProcess(unsigned exitCode) {
  throw ProcessExit{exitCode};
}

void Process::ProcessFacility::Sleep(unsigned milliseconds) {
  owner_.slept_ += milliseconds;
}

void Process::ProcessFacility::StartReplacingProcess(const std::string& program,
                                                     const std::vector<std::string>& arguments) {
  sim::FileSystem& files = owner_.machine_.Files();
  std::string modulePath;
  std::string currentFolder;
  {
    const sim::FileSystem::Acting acting(files, owner_.id_);
    if (!files.ReadFile(program)) {
      return;  // _spawnv fails: no program file there
    }
    modulePath = files.FullPath(program);
    currentFolder = files.CurrentFolder();
  }
  std::string commandLine;
  for (const std::string& argument : arguments) {
    commandLine += (commandLine.empty() ? "" : " ") + argument;
  }
  std::vector<std::string> split = SplitCommandLine(commandLine);
  ProcessSpec spec{modulePath, {}, split.empty() ? std::string() : split.front(), currentFolder};
  if (!split.empty()) {
    spec.arguments.assign(split.begin() + 1, split.end());
  }
  sim::Process& successor = owner_.machine_.StartProcess(std::move(spec));
  successor.commandLine_ = commandLine;
  owner_.successor_ = &successor;
  throw ProcessExit{0};
}

sim::FileSystem& Process::FilesFacility::Files() {
  return owner_.machine_.Files();
}

// Every call resolves its paths against this process's own current folder.
#define SIM_AS_PROCESS const sim::FileSystem::Acting acting(Files(), owner_.id_)

std::uint32_t Process::FilesFacility::GetFileAttributes(const std::string& path) {
  SIM_AS_PROCESS;
  return Files().GetFileAttributes(path);
}
bool Process::FilesFacility::SetFileAttributes(const std::string& path, std::uint32_t attributes) {
  SIM_AS_PROCESS;
  return Files().SetFileAttributes(path, attributes);
}
std::vector<platform::FoundFile> Process::FilesFacility::FindFiles(const std::string& pattern) {
  SIM_AS_PROCESS;
  return Files().FindFiles(pattern);
}
bool Process::FilesFacility::CreateDirectory(const std::string& path) {
  SIM_AS_PROCESS;
  return Files().CreateDirectory(path);
}
bool Process::FilesFacility::RemoveDirectory(const std::string& path) {
  SIM_AS_PROCESS;
  return Files().RemoveDirectory(path);
}
bool Process::FilesFacility::DeleteFile(const std::string& path) {
  SIM_AS_PROCESS;
  return Files().DeleteFile(path);
}
bool Process::FilesFacility::CopyFile(const std::string& existing, const std::string& target,
                                      bool failIfExists) {
  SIM_AS_PROCESS;
  return Files().CopyFile(existing, target, failIfExists);
}
bool Process::FilesFacility::MoveFileEx(const std::string& existing,
                                        const std::optional<std::string>& target,
                                        std::uint32_t flags) {
  SIM_AS_PROCESS;
  return Files().MoveFileEx(existing, target, flags);
}
bool Process::FilesFacility::SetCurrentDirectory(const std::string& path) {
  SIM_AS_PROCESS;
  return Files().SetCurrentDirectory(path);
}
std::string Process::FilesFacility::GetTempPath() {
  SIM_AS_PROCESS;
  return Files().GetTempPath();
}
std::string Process::FilesFacility::GetTempFileName(const std::string& folder,
                                                    const std::string& prefix) {
  SIM_AS_PROCESS;
  return Files().GetTempFileName(folder, prefix);
}
std::size_t Process::FilesFacility::GetPrivateProfileSection(const std::string& section,
                                                             std::size_t capacity,
                                                             const std::string& file,
                                                             std::string& lines) {
  SIM_AS_PROCESS;
  return Files().GetPrivateProfileSection(section, capacity, file, lines);
}
bool Process::FilesFacility::WritePrivateProfileSection(const std::string& section,
                                                        const std::string& lines,
                                                        const std::string& file) {
  SIM_AS_PROCESS;
  return Files().WritePrivateProfileSection(section, lines, file);
}
std::unique_ptr<platform::TextFile> Process::FilesFacility::OpenTextFile(const std::string& path) {
  SIM_AS_PROCESS;
  return Files().OpenTextFile(path);
}
bool Process::FilesFacility::AppendText(const std::string& path, const std::string& text) {
  SIM_AS_PROCESS;
  return Files().AppendText(path, text);
}

#undef SIM_AS_PROCESS

std::optional<platform::FixedFileVersion> Process::VersionsFacility::GetFixedFileVersion(
    const std::string& path) {
  const sim::FileSystem::Acting acting(owner_.machine_.Files(), owner_.id_);
  return owner_.machine_.Versions().GetFixedFileVersion(path);
}

void Process::ShellFacility::ChangeNotify(std::int32_t event, std::uint32_t flags) {
  owner_.machine_.Notify({owner_.id_, event, flags});
}

// The simulated program file carries the resources that setup.rc gives the real one.
std::string Process::UiFacility::LoadString(unsigned id) {
  const resources::StringEntry* entry =
      id <= 0xFFFF ? resources::FindString(static_cast<std::uint16_t>(id)) : nullptr;
  return entry ? std::string(entry->text) : std::string();
}

std::string Process::UiFacility::LoadString(unsigned id, std::size_t capacity) {
  std::string text = LoadString(id);
  if (capacity == 0) {
    return {};
  }
  if (text.size() > capacity - 1) {
    text.resize(capacity - 1);
  }
  return text;
}

platform::BoxResult Process::UiFacility::MessageBox(platform::WindowHandle owner,
                                                    const std::string& text,
                                                    const std::string& caption,
                                                    platform::BoxStyle style) {
  return owner_.machine_.GetUser().Answer({owner_.id_, owner, text, caption, style});
}

namespace {

const std::string kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

}  // namespace

Machine::Machine()
    : registry_([this](sim::Registry& registry, const std::string& sid) {
        LayDownProfile(registry, sid);
      }) {
  files_.SetWindowsFolderSource([this] { return system_.GetWindowsDirectory(); });
  files_.SetDelayedOperationsAllowedSource(
      [this] { return !registry_.RefusesLocalMachineWrites(); });
  files_.SetTempFolderSource(
      [this] { return ProfileFolder(registry_.CurrentUserSid()) + "\\AppData\\Local\\Temp\\"; });
  files_.CreateFolders(system_.GetWindowsDirectory() + "\\system32");
  files_.CreateFolders("C:\\Program Files");
  registry_.SetString(platform::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                      "ProgramFilesDir", "C:\\Program Files");

  const std::string startMenu = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu";
  const std::pair<const char*, std::string> common[] = {
      {"Common Start Menu", startMenu},
      {"Common Programs", startMenu + "\\Programs"},
      {"Common Startup", startMenu + "\\Programs\\Startup"},
      {"Common Desktop", "C:\\Users\\Public\\Desktop"},
  };
  for (const auto& [name, folder] : common) {
    registry_.SetString(platform::kHkeyLocalMachine, kShellFolders, name, folder);
    files_.CreateFolders(folder);
  }
}

// Each user's shell folders lie in a profile of their own: C:\Users\User for the first, then
// C:\Users\User2 and so on.
void Machine::LayDownProfile(sim::Registry& registry, const std::string& sid) {
  const std::size_t number = registry.UserSids().size();
  const std::string profile =
      "C:\\Users\\User" + (number > 1 ? std::to_string(number) : std::string());
  const std::string startMenu = profile + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu";
  const std::pair<const char*, std::string> folders[] = {
      {"Start Menu", startMenu},
      {"Programs", startMenu + "\\Programs"},
      {"Startup", startMenu + "\\Programs\\Startup"},
      {"Desktop", profile + "\\Desktop"},
  };
  for (const auto& [name, folder] : folders) {
    registry.SetString(platform::kHkeyUsers, sid + "\\" + kShellFolders, name, folder);
    files_.CreateFolders(folder);
  }
  files_.CreateFolders(profile + "\\AppData\\Local\\Temp");
  profiles_[sid] = profile;
}

std::string Machine::ProfileFolder(const std::string& sid) const {
  const auto profile = profiles_.find(sid);
  if (profile == profiles_.end()) {
    throw ScriptError("no profile for user " + sid);
  }
  return profile->second;
}

void Machine::Reboot() {
  for (const std::unique_ptr<Process>& process : processes_) {
    process->running_ = false;
  }
  files_.ReleaseEverything();
  files_.CarryOutDelayedOperations();

  const std::string wininit = system_.GetWindowsDirectory() + "\\WININIT.INI";
  const auto entries = files_.ProfileSection(wininit, "rename");
  if (!entries) {
    return;
  }
  for (const auto& [target, source] : *entries) {
    if (target.size() == 3 && std::toupper(static_cast<unsigned char>(target[0])) == 'N' &&
        std::toupper(static_cast<unsigned char>(target[1])) == 'U' &&
        std::toupper(static_cast<unsigned char>(target[2])) == 'L') {
      files_.DeleteFile(source);
    } else {
      files_.MoveFileEx(source, target, platform::kMoveFileReplaceExisting);
    }
  }
  files_.RemoveProfileSection(wininit, "rename");
}

std::vector<std::string> Machine::Snapshot() const {
  std::vector<std::string> lines = files_.Snapshot();
  for (const DelayedOperation& operation : files_.DelayedOperations()) {
    lines.push_back("at the next start: " +
                    (operation.target ? "move " + operation.existing + " to " + *operation.target +
                                            (operation.replaceExisting ? ", replacing" : "")
                                      : "delete " + operation.existing));
  }
  const std::vector<std::string> keys = registry_.Dump();
  lines.insert(lines.end(), keys.begin(), keys.end());
  return lines;
}

Process& Machine::StartProcess(ProcessSpec spec) {
  processes_.push_back(std::make_unique<Process>(*this, nextProcessId_, std::move(spec)));
  nextProcessId_ += 4;  // Windows hands out process ids in steps of four
  return *processes_.back();
}

}  // namespace sim
