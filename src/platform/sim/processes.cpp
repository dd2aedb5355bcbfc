#include "platform/sim/processes.h"

#include <algorithm>
#include <cctype>

#include "platform/sim/machine.h"
#include "resources/resource_tables.h"

namespace sim {
namespace {

// Carries ExitProcess's code out of the simulated program to Process::Run.
struct ProcessExit {
  unsigned exitCode;
};

std::string Lowered(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

bool SameLetters(const std::string& a, const std::string& b) {
  return Lowered(a) == Lowered(b);
}

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
    : machine_(machine),
      id_(id),
      spec_(std::move(spec)),
      dialogsFacility_(machine.Windows(), id),
      platform_{processFacility_,   uiFacility_,       filesFacility_,
                machine.Registry(), versionsFacility_, machine.System(),
                shellFacility_,     dialogsFacility_,  sessionFacility_} {
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

void Process::Start() {
  if (started_ || ended_) {
    throw ScriptError("process " + std::to_string(id_) + " has already run");
  }
  started_ = true;
  running_ = true;
  machine_.Files().ProcessStarted(id_, spec_.modulePath);
}

void Process::Finish(std::optional<unsigned> exitCode) {
  if (ended_) {
    return;
  }
  ended_ = true;
  running_ = false;
  if (exitCode && !exitCode_) {
    exitCode_ = exitCode;
  }
  machine_.Files().ProcessEnded(id_);
  machine_.Windows().ProcessEnded(id_);
  machine_.Session().ProcessEnded(*this);
}

void Process::Unwind(unsigned exitCode) {
  throw ProcessExit{exitCode};
}

unsigned Process::Run(const std::function<int(platform::Platform&)>& main) {
  Start();
  // Whatever way the program leaves, its holds on the machine end with it.
  struct Ending {
    Process& process;
    ~Ending() {
      process.inOwnCode_ = false;
      process.Finish(std::nullopt);
    }
  };
  inOwnCode_ = true;
  Ending ending{*this};
  unsigned exitCode = 0;
  try {
    exitCode = static_cast<unsigned>(main(platform_));
  } catch (const ProcessExit& exit) {
    exitCode = exit.exitCode;
  }
  // A TerminateProcess by another process meanwhile gave the code already.
  if (!exitCode_) {
    exitCode_ = exitCode;
  }
  return *exitCode_;
}

void Process::Launch(const std::function<void(platform::Platform&)>& startUp) {
  Start();
  inOwnCode_ = true;
  try {
    startUp(platform_);
  } catch (const ProcessExit& exit) {
    inOwnCode_ = false;
    Finish(exit.exitCode);
    return;
  } catch (...) {
    inOwnCode_ = false;
    Finish(std::nullopt);
    throw;
  }
  inOwnCode_ = false;
}

void Process::End(unsigned exitCode) {
  if (ended_) {
    throw ScriptError("process " + std::to_string(id_) + " has ended already");
  }
  if (inOwnCode_) {
    throw ScriptError("process " + std::to_string(id_) +
                      " runs its own code: it ends when that returns or calls ExitProcess");
  }
  Finish(exitCode);
}

platform::WindowHandle Process::CreateWindow(const std::string& title, platform::WindowHandle owner,
                                             std::uint32_t exStyle) {
  if (ended_) {
    throw ScriptError("process " + std::to_string(id_) + " has ended: it makes no windows");
  }
  const platform::WindowHandle window =
      machine_.Windows().CreateTopLevel(id_, title, owner, exStyle);
  if (window == platform::kNoWindow) {
    throw ScriptError("the owner of window \"" + title + "\" is no window");
  }
  return window;
}

bool Process::DestroyWindow(platform::WindowHandle window) {
  WindowManager& windows = machine_.Windows();
  return windows.Exists(window) && windows.ProcessOf(window) == id_ &&
         windows.DestroyWindow(window);
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
  // Outside the process's own code nothing could catch the unwinding but the test, or the
  // program of another process whose message handler this is.
  if (!owner_.inOwnCode_) {
    throw ScriptError("ExitProcess of process " + std::to_string(owner_.id_) +
                      " outside its own code: a test ends a launched process with End");
  }
  throw ProcessExit{exitCode};
}

void Process::ProcessFacility::Sleep(unsigned milliseconds) {
  owner_.slept_ += milliseconds;
}

std::optional<std::string> Process::ProcessFacility::GetEnvironmentVariable(
    const std::string& name) {
  for (const auto& [variable, value] : owner_.spec_.environment) {
    if (SameLetters(variable, name)) {
      return value;
    }
  }
  return std::nullopt;
}

void Process::SetEnvironmentVariable(const std::string& name,
                                     const std::optional<std::string>& value) {
  std::erase_if(spec_.environment,
                [&](const auto& variable) { return SameLetters(variable.first, name); });
  // As with _putenv("NAME="), an empty value removes the variable.
  if (value && !value->empty()) {
    spec_.environment[name] = *value;
  }
}

bool Process::ProcessFacility::CanLoadLibrary(const std::string& name) {
  Machine& machine = owner_.machine_;
  sim::FileSystem& files = machine.Files();
  const sim::FileSystem::Acting acting(files, owner_.id_);
  const auto isFile = [&](const std::string& path) {
    const std::uint32_t attributes = files.GetFileAttributes(path);
    return attributes != platform::kInvalidFileAttributes &&
           !(attributes & platform::kAttributeDirectory);
  };
  std::string file = name;
  const std::size_t slash = file.find_last_of("\\/");
  // A name without an extension gets ".dll", as LoadLibrary adds it.
  if (file.find('.', slash == std::string::npos ? 0 : slash + 1) == std::string::npos) {
    file += ".dll";
  }
  if (slash != std::string::npos || file.find(':') != std::string::npos) {
    return isFile(file);  // a path: no search
  }
  // The program's own module is loaded already and found by its name before any search.
  const std::string& module = owner_.spec_.modulePath;
  if (SameLetters(module.substr(module.find_last_of("\\/") + 1), file)) {
    return true;
  }
  if (!machine.Processes().LibrarySearchRestricted()) {
    const std::string& program = owner_.spec_.modulePath;
    const std::size_t programSlash = program.find_last_of("\\/");
    if (programSlash != std::string::npos && isFile(program.substr(0, programSlash + 1) + file)) {
      return true;
    }
  }
  return machine.Processes().IsSystemLibrary(file) ||
         isFile(machine.System().GetWindowsDirectory() + "\\system32\\" + file);
}

// The program is the application name when one is given: that file, searched nowhere. Else it
// is the quoted first part of the command line, or, as CreateProcessA reads an unquoted one,
// the shortest run of words up to a blank that names a program file. A name without an
// extension gets ".exe"; a bare one is looked for beside the caller's program, in its current
// folder, then in the system folders.
sim::Process* Process::StartChild(const std::string& application, const std::string& commandLine,
                                  const std::string& workingFolder) {
  Machine& machine = machine_;
  sim::FileSystem& files = machine.Files();
  std::string modulePath;
  std::string startFolder;
  {
    const sim::FileSystem::Acting acting(files, id_);
    const auto isFile = [&](const std::string& path) {
      const std::uint32_t attributes = files.GetFileAttributes(path);
      return attributes != platform::kInvalidFileAttributes &&
             !(attributes & platform::kAttributeDirectory);
    };
    const auto find = [&](std::string name) -> std::string {
      const std::size_t slash = name.find_last_of("\\/");
      if (name.find('.', slash == std::string::npos ? 0 : slash + 1) == std::string::npos) {
        name += ".exe";
      }
      if (slash != std::string::npos || name.find(':') != std::string::npos) {
        return isFile(name) ? files.FullPath(name) : std::string();
      }
      const std::string& program = spec_.modulePath;
      const std::string windows = machine.System().GetWindowsDirectory();
      for (const std::string& folder :
           {program.substr(0, program.find_last_of("\\/") + 1), files.CurrentFolder() + "\\",
            windows + "\\system32\\", windows + "\\"}) {
        if (isFile(folder + name)) {
          return files.FullPath(folder + name);
        }
      }
      return {};
    };
    if (!application.empty()) {
      modulePath = isFile(application) ? files.FullPath(application) : std::string();
    } else if (!commandLine.empty() && commandLine[0] == '"') {
      const std::size_t close = commandLine.find('"', 1);
      modulePath = find(commandLine.substr(1, close == std::string::npos ? close : close - 1));
    } else {
      for (std::size_t end = commandLine.find(' '); modulePath.empty();
           end = commandLine.find(' ', end + 1)) {
        modulePath = find(commandLine.substr(0, end));
        if (end == std::string::npos) {
          break;
        }
      }
    }
    if (modulePath.empty()) {
      files.SetLastError(platform::kErrorFileNotFound);
      return nullptr;
    }
    if (workingFolder.empty()) {
      startFolder = files.CurrentFolder();
    } else {
      const std::uint32_t attributes = files.GetFileAttributes(workingFolder);
      if (attributes == platform::kInvalidFileAttributes ||
          !(attributes & platform::kAttributeDirectory)) {
        files.SetLastError(platform::kErrorDirectory);
        return nullptr;
      }
      startFolder = files.FullPath(workingFolder);
    }
  }
  std::vector<std::string> split = SplitCommandLine(commandLine);
  ProcessSpec spec{modulePath,
                   {},
                   split.empty() ? std::string() : split.front(),
                   startFolder,
                   spec_.environment};
  if (!split.empty()) {
    spec.arguments.assign(split.begin() + 1, split.end());
  }
  sim::Process& child = machine.Processes().Start(std::move(spec));
  child.commandLine_ = commandLine;
  child.parentId_ = id_;
  child.startedBeside_ = true;
  machine.Processes().created_.push_back({id_, commandLine, workingFolder, &child});
  return &child;
}

bool Process::ProcessFacility::CreateProcess(const std::string& application,
                                             const std::string& commandLine,
                                             const std::string& workingFolder) {
  return owner_.StartChild(application, commandLine, workingFolder) != nullptr;
}

unsigned Process::ProcessFacility::LastError() {
  sim::FileSystem& files = owner_.machine_.Files();
  const sim::FileSystem::Acting acting(files, owner_.id_);
  return files.LastError();
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
  ProcessSpec spec{modulePath,
                   {},
                   split.empty() ? std::string() : split.front(),
                   currentFolder,
                   owner_.spec_.environment};
  if (!split.empty()) {
    spec.arguments.assign(split.begin() + 1, split.end());
  }
  sim::Process& successor = owner_.machine_.Processes().Start(std::move(spec));
  successor.commandLine_ = commandLine;
  successor.parentId_ = owner_.id_;
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

std::optional<platform::FileIdentity> Process::FilesFacility::GetFileIdentity(
    const std::string& path) {
  SIM_AS_PROCESS;
  return Files().GetFileIdentity(path);
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
std::string Process::FilesFacility::GetFullPathName(const std::string& path) {
  SIM_AS_PROCESS;
  return Files().GetFullPathName(path);
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
std::optional<std::string> Process::FilesFacility::ReadWholeFile(const std::string& path) {
  SIM_AS_PROCESS;
  return Files().ReadWholeFile(path);
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

std::unique_ptr<platform::ShellLink> Process::ShellFacility::CreateShellLink() {
  return owner_.machine_.Shell().CreateShellLink(owner_.id_);
}

bool Process::ShellFacility::Open(const std::string& file) {
  return owner_.machine_.Shell().Open(owner_.id_, file);
}

bool Process::ShellFacility::OpenFromDesktop(const std::string& file, const std::string& folder) {
  return owner_.machine_.Shell().OpenFromDesktop(owner_.id_, file, folder);
}

void Process::ShellFacility::ChangeNotify(std::int32_t event, std::uint32_t flags) {
  owner_.machine_.Shell().ChangeNotify(owner_.id_, event, flags);
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

Processes::Processes(Machine& machine, Session& session) : machine_(machine), session_(session) {
  for (const char* library :
       {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
        "oleaut32.dll", "msvcrt.dll", "comctl32.dll", "comdlg32.dll", "shlwapi.dll", "version.dll",
        "ntdll.dll"}) {
    systemLibraries_.insert(library);
  }
}

Process& Processes::Start(ProcessSpec spec) {
  unsigned id = 0;
  if (spec.id) {
    id = *spec.id;
    if (id == 0 || IdTaken(id)) {
      throw ScriptError("process id " + std::to_string(id) +
                        (id == 0 ? " is the idle process's"
                                 : " is taken by a process that lives "
                                   "or that a handle holds"));
    }
  } else {
    // Windows hands out process ids in steps of four; one a test chose is not handed out again.
    const auto used = [&](unsigned candidate) {
      return std::any_of(processes_.begin(), processes_.end(),
                         [&](const std::unique_ptr<Process>& p) { return p->id_ == candidate; });
    };
    while (used(nextProcessId_)) {
      nextProcessId_ += 4;
    }
    id = nextProcessId_;
    nextProcessId_ += 4;
  }
  processes_.push_back(std::make_unique<Process>(machine_, id, std::move(spec)));
  return *processes_.back();
}

Process* Processes::Find(unsigned id) {
  for (const std::unique_ptr<Process>& process : processes_) {
    if (process->id_ == id && !process->ended_) {
      return process.get();
    }
  }
  return session_.HeldProcess(id);
}

bool Processes::IdTaken(unsigned id) {
  return Find(id) != nullptr;
}

void Processes::AddSystemLibrary(const std::string& name) {
  systemLibraries_.insert(Lowered(name));
}

void Processes::RemoveSystemLibrary(const std::string& name) {
  systemLibraries_.erase(Lowered(name));
}

bool Processes::IsSystemLibrary(const std::string& file) const {
  return systemLibraries_.count(Lowered(file)) > 0;
}

void Processes::EndAll() {
  for (const std::unique_ptr<Process>& process : processes_) {
    if (process->running_) {
      process->Finish(std::nullopt);
    }
    process->running_ = false;
  }
}

}  // namespace sim
