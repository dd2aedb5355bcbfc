// A simulated Windows machine that runs processes of this program, deterministically and in
// memory, for the unit and scenario tests. Every facility keeps the Windows behaviour the
// logic relies on; the conformance suite checks the two backends against each other.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/file_system.h"
#include "platform/sim/registry.h"
#include "platform/sim/system.h"
#include "platform/sim/user.h"
#include "platform/sim/window_manager.h"

namespace sim {

class Machine;

// How a process is started: its program file and its command line.
struct ProcessSpec {
  std::string modulePath;              // full path of the program file
  std::vector<std::string> arguments;  // the arguments after the program name, quotes removed
  std::string programName;             // argument 0 as typed; empty means the module path
  std::string currentFolder = {};      // where relative paths start; empty: the program's folder
  // The environment: names as set, looked up without regard to case as the runtime does. The
  // processes a program starts, replacing itself or beside it, get a copy of its own.
  std::map<std::string, std::string> environment = {};
};

// What a saved shell link records.
struct Shortcut {
  std::string target;
  std::string workingFolder;
  std::string description;
  bool operator==(const Shortcut&) const = default;
};

class Process;

// A CreateProcess call that started a program: the caller's text as it gave it, and the
// process made for it, which does not run until the test runs it.
struct CreatedProcess {
  unsigned parentId = 0;
  std::string commandLine;
  std::string workingFolder;
  Process* process = nullptr;
};

// The steps of making a shell link that a test can make fail.
enum class ShellLinkStep { Create, SetPath, SetDescription, SetWorkingDirectory, Save };

// A command line split as the Microsoft C runtime splits it for main: blanks and tabs part the
// arguments outside double quotes; quotes group and go; 2n backslashes before a quote give n and
// the quote counts, 2n+1 give n and a quote kept as text; "" inside quotes is a quote. The first
// argument, the program, takes no backslash rules: quotes only group it.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// An SHChangeNotify call.
struct ShellNotification {
  unsigned processId = 0;
  std::int32_t event = 0;
  std::uint32_t flags = 0;
  bool operator==(const ShellNotification&) const = default;
};

// One simulated process. It outlives its run, so that a test can read its exit code and
// whatever the program left in objects the test gave it.
class Process {
 public:
  Process(Machine& machine, unsigned id, ProcessSpec spec);
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  unsigned Id() const { return id_; }
  const ProcessSpec& Spec() const { return spec_; }
  platform::Platform& GetPlatform() { return platform_; }

  // Runs `main` as this process's program, once. An ExitProcess inside it unwinds this
  // process only. Returns the exit code: ExitProcess's, or else what `main` returned.
  unsigned Run(const std::function<int(platform::Platform&)>& main);
  std::optional<unsigned> ExitCode() const { return exitCode_; }
  bool Running() const { return running_; }

  // The command line the process was started with, as another process wrote it; for one the
  // test started, its arguments joined with blanks, each that has a blank in quotes.
  const std::string& CommandLine() const { return commandLine_; }
  // How long the program paused, in all.
  unsigned long long SleptMilliseconds() const { return slept_; }
  // The process the program handed over to with StartReplacingProcess; none if it did not.
  Process* Successor() const { return successor_; }

  // As the runtime's _putenv inside the process: sets the variable, or removes it when
  // `value` is nothing or empty.
  void SetEnvironmentVariable(const std::string& name, const std::optional<std::string>& value);

 private:
  class ProcessFacility final : public platform::Process {
   public:
    explicit ProcessFacility(sim::Process& owner) : owner_(owner) {}
    std::string ModuleFileName() override;
    std::vector<std::string> Arguments() override;
    void Sleep(unsigned milliseconds) override;
    std::optional<std::string> GetEnvironmentVariable(const std::string& name) override;
    bool CanLoadLibrary(const std::string& name) override;
    bool CreateProcess(const std::string& commandLine, const std::string& workingFolder) override;
    void StartReplacingProcess(const std::string& program,
                               const std::vector<std::string>& arguments) override;

   protected:
    void EndProcess(unsigned exitCode) override;

   private:
    sim::Process& owner_;
  };

  class UiFacility final : public platform::UserInterface {
   public:
    explicit UiFacility(sim::Process& owner) : owner_(owner) {}
    std::string LoadString(unsigned id) override;
    std::string LoadString(unsigned id, std::size_t capacity) override;
    platform::BoxResult MessageBox(platform::WindowHandle owner, const std::string& text,
                                   const std::string& caption, platform::BoxStyle style) override;

   private:
    sim::Process& owner_;
  };

  // The machine's files as this process sees them: relative paths start at its own current
  // folder.
  class FilesFacility final : public platform::FileSystem {
   public:
    explicit FilesFacility(sim::Process& owner) : owner_(owner) {}
    std::uint32_t GetFileAttributes(const std::string& path) override;
    bool SetFileAttributes(const std::string& path, std::uint32_t attributes) override;
    std::vector<platform::FoundFile> FindFiles(const std::string& pattern) override;
    bool CreateDirectory(const std::string& path) override;
    bool RemoveDirectory(const std::string& path) override;
    bool DeleteFile(const std::string& path) override;
    bool CopyFile(const std::string& existing, const std::string& target,
                  bool failIfExists) override;
    bool MoveFileEx(const std::string& existing, const std::optional<std::string>& target,
                    std::uint32_t flags) override;
    bool SetCurrentDirectory(const std::string& path) override;
    std::string GetTempPath() override;
    std::string GetTempFileName(const std::string& folder, const std::string& prefix) override;
    std::size_t GetPrivateProfileSection(const std::string& section, std::size_t capacity,
                                         const std::string& file, std::string& lines) override;
    bool WritePrivateProfileSection(const std::string& section, const std::string& lines,
                                    const std::string& file) override;
    std::unique_ptr<platform::TextFile> OpenTextFile(const std::string& path) override;
    std::optional<std::string> ReadWholeFile(const std::string& path) override;
    bool AppendText(const std::string& path, const std::string& text) override;

   private:
    sim::FileSystem& Files();
    sim::Process& owner_;
  };

  class VersionsFacility final : public platform::VersionResources {
   public:
    explicit VersionsFacility(sim::Process& owner) : owner_(owner) {}
    std::optional<platform::FixedFileVersion> GetFixedFileVersion(const std::string& path) override;

   private:
    sim::Process& owner_;
  };

  class ShellFacility final : public platform::Shell {
   public:
    explicit ShellFacility(sim::Process& owner) : owner_(owner) {}
    std::unique_ptr<platform::ShellLink> CreateShellLink() override;
    bool Open(const std::string& file) override;
    void ChangeNotify(std::int32_t event, std::uint32_t flags) override;

   private:
    sim::Process& owner_;
  };

  friend class Machine;

  Machine& machine_;
  unsigned id_;
  ProcessSpec spec_;
  std::string commandLine_;
  std::optional<unsigned> exitCode_;
  bool running_ = false;
  unsigned long long slept_ = 0;
  Process* successor_ = nullptr;
  ProcessFacility processFacility_{*this};
  UiFacility uiFacility_{*this};
  FilesFacility filesFacility_{*this};
  VersionsFacility versionsFacility_{*this};
  ShellFacility shellFacility_{*this};
  DialogsFacility dialogsFacility_;
  platform::Platform platform_;  // the machine's registry and system, shared by all
};

// A fresh machine looks like a fresh 32-bit Windows where an installer looks: drive C: with
// the Windows and program files folders, the program files folder in the registry, and the
// shell folders of the default user and of all users, laid down on the disk.
class Machine {
 public:
  Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  User& GetUser() { return user_; }
  // Every window of every process: the dialogs, their controls and the folder browsers.
  WindowManager& Windows() { return windows_; }
  sim::FileSystem& Files() { return files_; }
  sim::Registry& Registry() { return registry_; }
  sim::System& System() { return system_; }
  platform::VersionResources& Versions() { return versions_; }

  // A new process of this program, not yet running.
  Process& StartProcess(ProcessSpec spec);
  const std::deque<std::unique_ptr<Process>>& Processes() const { return processes_; }

  // Every SHChangeNotify call of every process, in order.
  const std::vector<ShellNotification>& ShellNotifications() const { return notifications_; }

  // Libraries that LoadLibraryA finds by bare name in the system folder, besides any .dll file
  // lying in the Windows folder's system32. A fresh machine has the usual system libraries
  // (kernel32.dll, user32.dll, advapi32.dll, shell32.dll, ole32.dll, msvcrt.dll, comctl32.dll
  // and a few more). Names compare without regard to case.
  void AddSystemLibrary(const std::string& name);
  void RemoveSystemLibrary(const std::string& name);
  // Whether the program's start-up confined the library search to the system folder, which it
  // always does where Windows offers it. False: as on a Windows too old for that, a .dll in
  // the running program's own folder is found first.
  void SetLibrarySearchRestricted(bool restricted) { librarySearchRestricted_ = restricted; }
  bool LibrarySearchRestricted() const { return librarySearchRestricted_; }

  // Makes a step of every shell link made from now on fail (CreateShellLink gives nullptr; the
  // others return false and change nothing), or succeed again.
  void FailShellLinkStep(ShellLinkStep step, bool fail = true);
  bool ShellLinkStepFails(ShellLinkStep step) const { return failingLinkSteps_.count(step) > 0; }
  // The shell link saved at the path; none when the file is missing or is not a shell link.
  std::optional<Shortcut> ReadShortcut(const std::string& path) const;

  // What every process opened with ShellExecute, in order. A call opens an existing file or a
  // web address (a scheme of two letters or more before a colon), unless the test made opening
  // fail, as on a machine without a program for it; a failed call leaves nothing here.
  const std::vector<std::string>& OpenedFiles() const { return opened_; }
  void FailShellOpen(bool fail) { failShellOpen_ = fail; }
  // Every program started with CreateProcess, in order.
  const std::vector<CreatedProcess>& CreatedProcesses() const { return created_; }

  // A user's profile folder, e.g. C:\Users\User; throws sim::ScriptError for an unknown user.
  std::string ProfileFolder(const std::string& sid) const;

  // Restarts Windows: every hold on files ends (no process runs after it), the delayed
  // operations are carried out in order, then the [rename] section of WININIT.INI in the
  // Windows folder (lines target=source; NUL=path deletes; a target in the way is replaced),
  // and that section goes.
  void Reboot();

  // The whole machine for a before-and-after comparison: every drive, folder and file with
  // attributes, size, a hash of the contents and the version, then the delayed operations still
  // waiting for the next start, then every registry key and value.
  std::vector<std::string> Snapshot() const;

 private:
  friend class Process;
  void LayDownProfile(sim::Registry& registry, const std::string& sid);
  void Notify(ShellNotification notification) { notifications_.push_back(notification); }

  std::map<std::string, std::string> profiles_;  // by SID; before the registry, which fills it
  std::vector<ShellNotification> notifications_;
  std::set<std::string> systemLibraries_;  // lower case
  bool librarySearchRestricted_ = true;
  std::set<ShellLinkStep> failingLinkSteps_;
  std::vector<std::string> opened_;
  std::vector<CreatedProcess> created_;
  bool failShellOpen_ = false;
  User user_;
  sim::FileSystem files_;
  sim::FileVersions versions_{files_};
  sim::System system_;
  sim::Registry registry_;  // after the files: a new user's profile folders are laid down
  WindowManager windows_{user_, files_};
  unsigned nextProcessId_ = 1000;
  std::deque<std::unique_ptr<Process>> processes_;
};

}  // namespace sim
