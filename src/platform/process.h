// The running process: its program file, its command line and its end.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class Process {
 public:
  virtual ~Process() = default;

  // GetModuleFileNameA for the program file: the full path the process was started from, whole.
  // The logic takes it as a 260-byte buffer holds it (ProgramFilePath): the program file's
  // path, and so the folder it installs from, never reaches past that.
  virtual std::string ModuleFileName() = 0;

  // The argument vector as the C runtime splits the command line (quotes removed). Element 0
  // is the program as it was named on the command line; the arguments follow.
  virtual std::vector<std::string> Arguments() = 0;

  // Sleep.
  virtual void Sleep(unsigned milliseconds) = 0;

  // GetLastError: the system's error code of this thread's last failed call (for a shell
  // link's Save, its HRESULT). Only the run's log reads it: the logic never decides by it.
  virtual unsigned LastError() = 0;

  // getenv: the variable's value, or nothing when it is not set.
  virtual std::optional<std::string> GetEnvironmentVariable(const std::string& name) = 0;

  // LoadLibraryA of a bare name followed by FreeLibrary: whether the library search finds and
  // loads it (the program's own folder first, where the system's search allows it).
  virtual bool CanLoadLibrary(const std::string& name) = 0;

  // CreateProcessA with `commandLine` as the whole command line, `application` as the
  // application name (empty: none, and the program is read from the command line, where an
  // unquoted path with blanks may name another program first), no inherited handles, no
  // creation flags, the parent's environment, `workingFolder` as the current folder. The new
  // process runs on its own; nothing waits for it. False when it could not be started.
  virtual bool CreateProcess(const std::string& application, const std::string& commandLine,
                             const std::string& workingFolder) = 0;

  // The C runtime's _spawnv with _P_OVERLAY: starts `program` with the command line made of
  // `arguments` joined by single blanks (quote an argument with blanks yourself), the same
  // environment and inherited handles, and on success ends this process at once with exit
  // code 0, without its normal shutdown. Returns only when the start failed.
  virtual void StartReplacingProcess(const std::string& program,
                                     const std::vector<std::string>& arguments) = 0;

  // ExitProcess: the process ends here with this exit code. Nothing of the caller's normal
  // shutdown runs on Windows, so callers must not rely on destructors for anything the
  // machine can see.
  [[noreturn]] void ExitProcess(unsigned exitCode) {
    EndProcess(exitCode);
    std::abort();  // not reached: EndProcess does not return
  }

 protected:
  virtual void EndProcess(unsigned exitCode) = 0;
};

}  // namespace platform
