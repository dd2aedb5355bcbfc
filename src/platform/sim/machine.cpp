#include "platform/sim/machine.h"

#include <algorithm>
#include <cctype>

#include "platform/sim/kernel_objects.h"
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

// A saved shell link: the format's own first bytes (a header size of 0x4C), then a mark of the
// simulation and the three texts, each ended by a zero, which no text can contain.
const std::string kShortcutMagic = std::string("L\0\0\0", 4) + "sim-shortcut" + '\0';

std::string EncodeShortcut(const Shortcut& shortcut) {
  return kShortcutMagic + shortcut.target + '\0' + shortcut.workingFolder + '\0' +
         shortcut.description + '\0';
}

std::optional<Shortcut> DecodeShortcut(const std::string& bytes) {
  if (bytes.compare(0, kShortcutMagic.size(), kShortcutMagic) != 0) {
    return std::nullopt;
  }
  std::vector<std::string> texts;
  std::size_t start = kShortcutMagic.size();
  while (start < bytes.size()) {
    const std::size_t end = bytes.find('\0', start);
    if (end == std::string::npos) {
      return std::nullopt;
    }
    texts.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  if (texts.size() != 3) {
    return std::nullopt;
  }
  return Shortcut{texts[0], texts[1], texts[2]};
}

// IShellLinkA with its IPersistFile, as the simulated shell makes it for one process.
class SimShellLink final : public platform::ShellLink {
 public:
  SimShellLink(Machine& machine, unsigned processId) : machine_(machine), processId_(processId) {}

  // The link keeps the target made full against the current folder even when nothing lies
  // there; Windows then answers S_FALSE, which is no failure.
  bool SetPath(const std::string& target) override {
    if (machine_.Faults().Next("IShellLink::SetPath", target, false)) {
      return false;
    }
    if (target.empty()) {
      shortcut_.target.clear();
    } else {
      sim::FileSystem& files = machine_.Files();
      const sim::FileSystem::Acting acting(files, processId_);
      shortcut_.target = files.FullPath(target);
    }
    return true;
  }
  bool SetDescription(const std::string& description) override {
    return Set("IShellLink::SetDescription", shortcut_.description, description);
  }
  bool SetWorkingDirectory(const std::string& folder) override {
    return Set("IShellLink::SetWorkingDirectory", shortcut_.workingFolder, folder);
  }

  // The folder must be there; the link file itself may be replaced unless it is a folder,
  // read-only or in use. A failure leaves its HRESULT as the last error: the file system's
  // error made one, or an injected fault's error, made one unless it is one (E_FAIL...).
  bool Save(const std::string& path) override {
    sim::FileSystem& files = machine_.Files();
    const sim::FileSystem::Acting acting(files, processId_);
    if (const std::optional<unsigned> error =
            machine_.Faults().Next("IShellLink::Save", path, true)) {
      const bool hresult = (*error & 0x80000000u) != 0;
      files.SetLastError(hresult ? *error : platform::HresultFromWin32(static_cast<long>(*error)));
      return false;
    }
    if (!FitsWidePath(path)) {
      files.SetLastError(platform::HresultFromWin32(platform::kErrorInsufficientBuffer));
      return false;
    }
    if (!files.SaveFile(path, EncodeShortcut(shortcut_))) {
      files.SetLastError(platform::HresultFromWin32(static_cast<long>(files.LastError())));
      return false;
    }
    return true;
  }

 private:
  bool Set(std::string_view call, std::string& field, const std::string& value) {
    if (machine_.Faults().Next(call, value, false)) {
      return false;
    }
    field = value;
    return true;
  }

  // The path made wide through the ANSI code page must fit 260 characters with its terminator;
  // a double-byte character is one wide character.
  bool FitsWidePath(const std::string& path) {
    std::size_t wide = 0;
    for (std::size_t i = 0; i < path.size(); ++i, ++wide) {
      if (machine_.System().IsDBCSLeadByte(static_cast<unsigned char>(path[i])) &&
          i + 1 < path.size()) {
        ++i;
      }
    }
    return wide + 1 <= 260;
  }

  Machine& machine_;
  unsigned processId_;
  Shortcut shortcut_;
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
  machine_.ReleaseKernelObjects(*this);
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
  if (!machine.LibrarySearchRestricted()) {
    const std::string& program = owner_.spec_.modulePath;
    const std::size_t programSlash = program.find_last_of("\\/");
    if (programSlash != std::string::npos && isFile(program.substr(0, programSlash + 1) + file)) {
      return true;
    }
  }
  return machine.systemLibraries_.count(Lowered(file)) > 0 ||
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
  sim::Process& child = machine.StartProcess(std::move(spec));
  child.commandLine_ = commandLine;
  child.parentId_ = id_;
  child.startedBeside_ = true;
  machine.created_.push_back({id_, commandLine, workingFolder, &child});
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
  sim::Process& successor = owner_.machine_.StartProcess(std::move(spec));
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
  if (owner_.machine_.Faults().Next("CoCreateInstance", "ShellLink", false)) {
    return nullptr;
  }
  return std::make_unique<SimShellLink>(owner_.machine_, owner_.id_);
}

bool Process::ShellFacility::Open(const std::string& file) {
  Machine& machine = owner_.machine_;
  bool opened = false;
  if (!machine.Faults().Next("ShellExecuteA", file, false)) {
    const std::size_t colon = file.find(':');
    const bool address =
        colon != std::string::npos && colon >= 2 &&
        std::all_of(file.begin(), file.begin() + static_cast<long>(colon),
                    [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
    if (address) {
      opened = true;
    } else {
      const sim::FileSystem::Acting acting(machine.Files(), owner_.id_);
      const std::uint32_t attributes = machine.Files().GetFileAttributes(file);
      opened = attributes != platform::kInvalidFileAttributes &&
               !(attributes & platform::kAttributeDirectory);
    }
  }
  if (opened) {
    machine.opened_.push_back(file);
  }
  return opened;
}

bool Process::ShellFacility::OpenFromDesktop(const std::string& file, const std::string& folder) {
  Machine& machine = owner_.machine_;
  if (!machine.desktopShell_ ||
      machine.Faults().Next("IShellDispatch2::ShellExecute", file, false)) {
    return false;
  }
  machine.desktopOpens_.push_back({owner_.id_, file, folder});
  return true;
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
  files_.SetFaults(&faults_);
  registry_.SetFaults(&faults_);
  files_.SetLeadByteSource([this](unsigned char byte) { return system_.IsDBCSLeadByte(byte); });
  files_.SetTempFolderSource(
      [this] { return ProfileFolder(registry_.CurrentUserSid()) + "\\AppData\\Local\\Temp\\"; });
  files_.CreateFolders(system_.GetWindowsDirectory() + "\\system32");
  files_.CreateFolders("C:\\Program Files");
  for (const char* library :
       {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
        "oleaut32.dll", "msvcrt.dll", "comctl32.dll", "comdlg32.dll", "shlwapi.dll", "version.dll",
        "ntdll.dll"}) {
    systemLibraries_.insert(library);
  }
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

void Machine::AddSystemLibrary(const std::string& name) {
  systemLibraries_.insert(Lowered(name));
}

void Machine::RemoveSystemLibrary(const std::string& name) {
  systemLibraries_.erase(Lowered(name));
}

std::optional<Shortcut> Machine::ReadShortcut(const std::string& path) const {
  const std::optional<std::string> bytes = files_.ReadFile(path);
  return bytes ? DecodeShortcut(*bytes) : std::nullopt;
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
    if (process->running_) {
      process->Finish(std::nullopt);
    }
    process->running_ = false;
  }
  ClearKernelObjects();
  windows_.Clear();
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
  processes_.push_back(std::make_unique<Process>(*this, id, std::move(spec)));
  return *processes_.back();
}

}  // namespace sim
