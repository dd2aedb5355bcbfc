// The simulated machine's processes: each runs a program of this one against a platform of its
// own, in turn, on the test's thread; the machine keeps every process it started, ended or not.
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
#include "platform/sim/window_manager.h"

namespace sim {

class Machine;
class Session;
class Process;

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

  friend class Processes;

  void Start();
  // The end, whichever way: the exit code unless one was set, then the process's holds on
  // files, its windows, handles, views and mutexes go.
  void Finish(std::optional<unsigned> exitCode);
  // Unwinds the process's own code, as ExitProcess does.
  [[noreturn]] void Unwind(unsigned exitCode);
  // CreateProcessA on this process's behalf: the new process, recorded in Processes::Created;
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

// Every process of the machine, the programs they start and the libraries they can load.
class Processes {
 public:
  Processes(Machine& machine, Session& session);
  Processes(const Processes&) = delete;
  Processes& operator=(const Processes&) = delete;

  // A new process of this program, not yet running. Throws ScriptError for a chosen id that is
  // not free (see ProcessSpec::id) or is 0.
  Process& Start(ProcessSpec spec);
  // Every process, in the order they were made.
  const std::deque<std::unique_ptr<Process>>& All() const { return processes_; }
  // Every program started with CreateProcess or StartProcess, in order.
  const std::vector<CreatedProcess>& Created() const { return created_; }
  // The program that processes started by other processes (CreateProcess, StartProcess) run,
  // as Windows would have run them meanwhile: when a process waits for the end of one that has
  // not run yet (WaitForProcessEnd, any time limit), the machine runs it with `main` to its end
  // inside that wait, which then sees it ended. None (the default): such a process runs only
  // when the test runs it, and a wait without a time limit for it is a ScriptError.
  void SetProgram(std::function<int(platform::Platform&)> main) { program_ = std::move(main); }
  // Every process ended by TerminateProcess, and every wait for a process's end, in order.
  const std::vector<Termination>& Terminations() const { return terminations_; }
  const std::vector<ProcessWait>& Waits() const { return waits_; }

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

  // The machine's side: a restart ends every process that runs.
  void EndAll();

 private:
  friend class Process;
  // A live process first; else an ended one that a handle still holds, which keeps its id.
  Process* Find(unsigned id);
  bool IdTaken(unsigned id);
  bool IsSystemLibrary(const std::string& file) const;

  Machine& machine_;
  Session& session_;
  std::set<std::string> systemLibraries_;  // lower case
  bool librarySearchRestricted_ = true;
  std::vector<CreatedProcess> created_;
  std::function<int(platform::Platform&)> program_;
  std::vector<Termination> terminations_;
  std::vector<ProcessWait> waits_;
  unsigned nextProcessId_ = 1000;
  std::deque<std::unique_ptr<Process>> processes_;
};

}  // namespace sim
