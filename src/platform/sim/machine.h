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
  // The process id; none: the machine's next one. An id is free again once its process has
  // ended and no handle holds that process any more, as Windows reuses them.
  std::optional<unsigned> id = {};
};

// What a saved shell link records.
struct Shortcut {
  std::string target;
  std::string workingFolder;
  std::string description;
  bool operator==(const Shortcut&) const = default;
};

class Process;

// A PostMessage call that reached a window: who sent it, to which window of which process.
struct PostedMessage {
  unsigned fromProcess = 0;
  platform::WindowHandle window = platform::kNoWindow;
  unsigned toProcess = 0;
  unsigned message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  bool operator==(const PostedMessage&) const = default;
};

// A TerminateProcess call that ended a process.
struct Termination {
  unsigned byProcess = 0;
  unsigned process = 0;
  unsigned exitCode = 0;
  bool operator==(const Termination&) const = default;
};

// A wait for a process's end: on one that had ended it returns at once; on one that lives the
// waiter spends `milliseconds` and gets false.
struct ProcessWait {
  unsigned byProcess = 0;
  unsigned process = 0;
  unsigned milliseconds = 0;
  bool ended = false;
  bool operator==(const ProcessWait&) const = default;
};

// A CreateProcess call that started a program: the caller's text as it gave it, and the
// process made for it, which does not run until the test runs it.
struct CreatedProcess {
  unsigned parentId = 0;
  std::string commandLine;
  std::string workingFolder;
  Process* process = nullptr;
};

// A command line split as the Microsoft C runtime splits it for main: blanks and tabs part the
// arguments outside double quotes; quotes group and go; 2n backslashes before a quote give n and
// the quote counts, 2n+1 give n and a quote kept as text; "" inside quotes is a quote. The first
// argument, the program, takes no backslash rules: quotes only group it.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// What a process asked the desktop's shell to open.
struct DesktopOpen {
  unsigned processId = 0;
  std::string file;
  std::string folder;
  bool operator==(const DesktopOpen&) const = default;
};

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
  // process only. Returns the exit code: ExitProcess's, or else what `main` returned (or the
  // code of a TerminateProcess that another process called meanwhile).
  unsigned Run(const std::function<int(platform::Platform&)>& main);
  // Starts this process as a program that keeps running beside the others, e.g. the product:
  // `startUp` runs as this process (an ExitProcess inside it ends the process), then the
  // process lives on until End, a TerminateProcess, or a restart. Meanwhile calls through its
  // platform act as this process. Instead of Run, once.
  void Launch(const std::function<void(platform::Platform&)>& startUp);
  // The normal end of a launched (or not yet started) process, from the test or from a window's
  // message handler. A process running its Run ends when its program returns instead.
  void End(unsigned exitCode);
  std::optional<unsigned> ExitCode() const { return exitCode_; }
  // Whether the program runs: inside Run, or launched and not ended.
  bool Running() const { return running_; }
  // Whether the process has ended, whichever way. Its session calls are inert from then on.
  bool Ended() const { return ended_; }

  // A shown top-level window of this process, topmost now, e.g. a product's main window;
  // throws ScriptError for an ended process or an owner that is no window.
  platform::WindowHandle CreateWindow(const std::string& title,
                                      platform::WindowHandle owner = platform::kNoWindow,
                                      std::uint32_t exStyle = 0);
  // DestroyWindow of a window of this process: false when it is not one (any more).
  bool DestroyWindow(platform::WindowHandle window);
  // How long the program waited, in all, for processes that did not end in the time it gave.
  // Kept apart from SleptMilliseconds: a wait is not a pause the program chose.
  unsigned long long WaitedMilliseconds() const { return waited_; }

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
    unsigned LastError() override;
    std::optional<std::string> GetEnvironmentVariable(const std::string& name) override;
    bool CanLoadLibrary(const std::string& name) override;
    bool CreateProcess(const std::string& application, const std::string& commandLine,
                       const std::string& workingFolder) override;
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
    std::optional<platform::FileIdentity> GetFileIdentity(const std::string& path) override;
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
    std::string GetFullPathName(const std::string& path) override;
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

  // Acts as this process while it lives; once it has ended every call fails or gives nothing
  // and changes nothing, as the objects of a terminated program may still be destroyed by the
  // test afterwards. CurrentProcessId keeps answering the id.
  class SessionFacility final : public platform::Session {
   public:
    explicit SessionFacility(sim::Process& owner) : owner_(owner) {}
    platform::KernelHandle CreateMutex(const std::string& name) override;
    bool WaitForMutex(platform::KernelHandle mutex) override;
    bool ReleaseMutex(platform::KernelHandle mutex) override;
    std::uint32_t AllocationGranularity() override;
    platform::KernelHandle CreateSharedMemory(const std::string& name, std::uint32_t size,
                                              bool& alreadyExisted) override;
    std::uint8_t* MapView(platform::KernelHandle region, std::uint32_t offset,
                          std::uint32_t length) override;
    bool UnmapView(std::uint8_t* view) override;
    bool CloseHandle(platform::KernelHandle handle) override;
    std::vector<platform::WindowHandle> TopLevelWindows() override;
    unsigned WindowProcessId(platform::WindowHandle window) override;
    platform::WindowHandle WindowOwner(platform::WindowHandle window) override;
    std::uint32_t WindowExStyle(platform::WindowHandle window) override;
    std::string WindowTitle(platform::WindowHandle window, std::size_t capacity) override;
    bool PostMessage(platform::WindowHandle window, unsigned message, std::uintptr_t wParam,
                     std::intptr_t lParam) override;
    unsigned CurrentProcessId() override;
    platform::KernelHandle OpenParentProcess(std::uint32_t access) override;
    platform::KernelHandle OpenProcess(unsigned id, std::uint32_t access) override;
    bool TerminateProcess(platform::KernelHandle process, unsigned exitCode) override;
    bool WaitForProcessEnd(platform::KernelHandle process, unsigned milliseconds) override;
    platform::KernelHandle StartProcess(const std::string& application,
                                        const std::string& commandLine) override;
    std::optional<unsigned> ProcessExitCode(platform::KernelHandle process) override;

   private:
    bool Live() const { return !owner_.ended_; }
    sim::Process& owner_;
  };

  class ShellFacility final : public platform::Shell {
   public:
    explicit ShellFacility(sim::Process& owner) : owner_(owner) {}
    std::unique_ptr<platform::ShellLink> CreateShellLink() override;
    bool Open(const std::string& file) override;
    bool OpenFromDesktop(const std::string& file, const std::string& folder) override;
    void ChangeNotify(std::int32_t event, std::uint32_t flags) override;

   private:
    sim::Process& owner_;
  };

  friend class Machine;

  void Start();
  // The end, whichever way: the exit code unless one was set, then the process's holds on
  // files, its windows, handles, views and mutexes go.
  void Finish(std::optional<unsigned> exitCode);
  // Unwinds the process's own code, as ExitProcess does.
  [[noreturn]] void Unwind(unsigned exitCode);
  // CreateProcessA on this process's behalf: the new process, recorded in CreatedProcesses;
  // nullptr with the last error set when there is no program or no such folder.
  Process* StartChild(const std::string& application, const std::string& commandLine,
                      const std::string& workingFolder);

  Machine& machine_;
  unsigned id_;
  ProcessSpec spec_;
  std::string commandLine_;
  std::optional<unsigned> exitCode_;
  bool started_ = false;
  bool running_ = false;
  bool ended_ = false;
  bool inOwnCode_ = false;      // inside Run's main or Launch's startUp
  bool startedBeside_ = false;  // by another process's CreateProcess or StartProcess
  unsigned parentId_ = 0;       // the process that started it; 0 for the test's own starts
  unsigned long long slept_ = 0;
  unsigned long long waited_ = 0;
  Process* successor_ = nullptr;
  ProcessFacility processFacility_{*this};
  UiFacility uiFacility_{*this};
  FilesFacility filesFacility_{*this};
  VersionsFacility versionsFacility_{*this};
  ShellFacility shellFacility_{*this};
  SessionFacility sessionFacility_{*this};
  DialogsFacility dialogsFacility_;
  platform::Platform platform_;  // the machine's registry and system, shared by all
};

// A fresh machine looks like a fresh 32-bit Windows where an installer looks: drive C: with
// the Windows and program files folders, the program files folder in the registry, and the
// shell folders of the default user and of all users, laid down on the disk.
class Machine {
 public:
  Machine();
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  User& GetUser() { return user_; }
  // Every window of every process: the dialogs, their controls and the folder browsers.
  WindowManager& Windows() { return windows_; }
  sim::FileSystem& Files() { return files_; }
  sim::Registry& Registry() { return registry_; }
  // Makes a change a process makes to the machine fail, or cuts the power there (see
  // FileSystem::SetFaults, Registry::SetFaults; IShellLink::Save names its path). Calls that
  // change nothing meet only a fault that names them, each with its object: CreateMutexA and
  // CreateFileMappingA (the name), MapViewOfFile (the section's name), OpenProcess of another
  // process (its id; as for one of another user or a protected one), ShellExecuteA and
  // IShellDispatch2::ShellExecute (the file),
  // CoCreateInstance ("ShellLink"), IShellLink::SetPath, ::SetDescription and
  // ::SetWorkingDirectory (the text given). They fail as Windows fails them, without an error.
  FaultInjector& Faults() { return faults_; }
  sim::System& System() { return system_; }
  platform::VersionResources& Versions() { return versions_; }

  // A new process of this program, not yet running. Throws ScriptError for a chosen id that is
  // not free (see ProcessSpec::id) or is 0.
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

  // The shell link saved at the path; none when the file is missing or is not a shell link.
  std::optional<Shortcut> ReadShortcut(const std::string& path) const;

  // What every process opened with ShellExecute, in order. A call opens an existing file or a
  // web address (a scheme of two letters or more before a colon), unless a fault makes it fail,
  // as on a machine without a program for it; a failed call leaves nothing here.
  const std::vector<std::string>& OpenedFiles() const { return opened_; }
  // Whether a desktop shell runs in the session and takes requests to open files
  // (Shell::OpenFromDesktop). A fresh machine has none, as in a service's session: programs
  // open and start things themselves.
  void SetDesktopShell(bool running) { desktopShell_ = running; }
  // Every request the desktop's shell took, in order. It opens any file or address it is given;
  // a fault on "IShellDispatch2::ShellExecute" (the file) refuses one.
  const std::vector<DesktopOpen>& DesktopOpens() const { return desktopOpens_; }
  // Every program started with CreateProcess or StartProcess, in order.
  const std::vector<CreatedProcess>& CreatedProcesses() const { return created_; }
  // The program that processes started by other processes (CreateProcess, StartProcess) run,
  // as Windows would have run them meanwhile: when a process waits for the end of one that has
  // not run yet (WaitForProcessEnd, any time limit), the machine runs it with `main` to its end
  // inside that wait, which then sees it ended. None (the default): such a process runs only
  // when the test runs it, and a wait without a time limit for it is a ScriptError.
  void SetProgram(std::function<int(platform::Platform&)> main) { program_ = std::move(main); }

  // A user's profile folder, e.g. C:\Users\User; throws sim::ScriptError for an unknown user.
  std::string ProfileFolder(const std::string& sid) const;

  // Restarts Windows: every hold on files ends (no process runs after it), the delayed
  // operations are carried out in order, then the [rename] section of WININIT.INI in the
  // Windows folder (lines target=source; NUL=path deletes; a target in the way is replaced),
  // and that section goes.
  void Reboot();

  // The session's shared objects. Names compare exactly, as the object manager compares them.
  // GetSystemInfo's allocation granularity, 65536 unless a test sets another.
  void SetAllocationGranularity(std::uint32_t granularity) { granularity_ = granularity; }
  std::uint32_t AllocationGranularity() const { return granularity_; }
  // Called right after a region is made new, with its name and the id of the process that made
  // it, before CreateSharedMemory returns; none: nothing is called.
  void OnSharedMemoryCreated(std::function<void(const std::string&, unsigned)> hook) {
    sharedMemoryCreated_ = std::move(hook);
  }
  // The id of the process that owns the mutex of that name; 0 when none owns it or there is no
  // such mutex.
  unsigned MutexOwner(const std::string& name) const;
  // A copy of the bytes of the region of that name; none when there is no such region.
  std::optional<std::vector<std::uint8_t>> SharedMemory(const std::string& name) const;
  // What a process holds: its open handles and mapped views (a view mapped twice counts twice).
  std::size_t OpenHandles(const Process& process) const;
  std::size_t MappedViews(const Process& process) const;

  // Runs `handler` right after each message posted to the window is recorded, as that window's
  // program would take it from its queue; it may destroy the window and End the process.
  void SetMessageHandler(platform::WindowHandle window,
                         std::function<void(const PostedMessage&)> handler);
  // Every message posted to an existing window, by every process, in order.
  const std::vector<PostedMessage>& PostedMessages() const { return posted_; }
  // Every process ended by TerminateProcess, and every wait for a process's end, in order.
  const std::vector<Termination>& Terminations() const { return terminations_; }
  const std::vector<ProcessWait>& ProcessWaits() const { return waits_; }

  // The whole machine for a before-and-after comparison: every drive, folder and file with
  // attributes, size, a hash of the contents and the version, then the delayed operations still
  // waiting for the next start, then every registry key and value.
  std::vector<std::string> Snapshot() const;

 private:
  friend class Process;
  void LayDownProfile(sim::Registry& registry, const std::string& sid);
  void Notify(ShellNotification notification) { notifications_.push_back(notification); }
  struct KernelObjects;
  KernelObjects& Objects();
  bool IdTaken(unsigned id) const;
  void ReleaseKernelObjects(Process& process);
  void ClearKernelObjects();
  Process* FindProcess(unsigned id);
  // A new handle of `owner`'s to the process object of `target`.
  platform::KernelHandle OpenProcessObject(const Process& owner, Process& target,
                                           std::uint32_t access);

  std::map<std::string, std::string> profiles_;  // by SID; before the registry, which fills it
  std::vector<ShellNotification> notifications_;
  std::set<std::string> systemLibraries_;  // lower case
  bool librarySearchRestricted_ = true;
  std::vector<std::string> opened_;
  bool desktopShell_ = false;
  std::vector<DesktopOpen> desktopOpens_;
  std::vector<CreatedProcess> created_;
  std::function<int(platform::Platform&)> program_;
  User user_;
  FaultInjector faults_;  // before the facilities that ask it
  sim::FileSystem files_;
  sim::FileVersions versions_{files_};
  sim::System system_;
  sim::Registry registry_;  // after the files: a new user's profile folders are laid down
  WindowManager windows_{user_, files_};
  unsigned nextProcessId_ = 1000;
  std::unique_ptr<KernelObjects> objects_;  // before the processes, which release theirs
  std::vector<std::unique_ptr<KernelObjects>> retired_;  // a restart's, with detached views
  std::uint32_t granularity_ = 65536;
  std::function<void(const std::string&, unsigned)> sharedMemoryCreated_;
  std::map<platform::WindowHandle, std::function<void(const PostedMessage&)>> messageHandlers_;
  std::vector<PostedMessage> posted_;
  std::vector<Termination> terminations_;
  std::vector<ProcessWait> waits_;
  std::deque<std::unique_ptr<Process>> processes_;
};

}  // namespace sim
