#include <windows.h>

#undef GetEnvironmentVariable
#undef CreateProcess

#include <process.h>

#include <cstdlib>

#include "platform/win32/win32_platform.h"

namespace platform::win32 {

std::string Win32Process::ModuleFileName() {
  // GetModuleFileNameA fills the buffer completely when the path does not fit, so grow until
  // the result is shorter than the buffer.
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      return {};
    }
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::vector<std::string> Win32Process::Arguments() {
  // The runtime's own split of the command line (__argc/__argv): quotes group blanks and are
  // removed, so a quoted folder after "-instdir" arrives as one argument without its quotes.
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<std::size_t>(__argc));
  for (int i = 0; i < __argc; ++i) {
    arguments.emplace_back(__argv[i]);
  }
  return arguments;
}

bool Win32Process::CreateProcess(const std::string& application, const std::string& commandLine,
                                 const std::string& workingFolder) {
  // CreateProcessA may write into the command line, so it gets a copy of its own.
  std::string line = commandLine;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  // An empty folder means the caller's own, which CreateProcessA takes as no folder at all.
  if (!::CreateProcessA(application.empty() ? nullptr : application.c_str(), line.data(), nullptr,
                        nullptr, FALSE, 0, nullptr,
                        workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup,
                        &started)) {
    return false;
  }
  // Nothing waits for it: the handles are not needed.
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return true;
}

void Win32Process::Sleep(unsigned milliseconds) {
  ::Sleep(milliseconds);
}

unsigned Win32Process::LastError() {
  return ::GetLastError();
}

std::optional<std::string> Win32Process::GetEnvironmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) {
    return std::nullopt;
  }
  return std::string(value);
}

bool Win32Process::CanLoadLibrary(const std::string& name) {
  HMODULE library = ::LoadLibraryA(name.c_str());
  if (library == nullptr) {
    return false;
  }
  ::FreeLibrary(library);
  return true;
}

void Win32Process::StartReplacingProcess(const std::string& program,
                                         const std::vector<std::string>& arguments) {
  std::vector<const char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const std::string& argument : arguments) {
    argv.push_back(argument.c_str());
  }
  argv.push_back(nullptr);
  // On success the runtime ends this process itself with exit code 0; coming back means the
  // start failed.
  ::_spawnv(_P_OVERLAY, program.c_str(), argv.data());
}

void Win32Process::EndProcess(unsigned exitCode) {
  ::ExitProcess(exitCode);
}

}  // namespace platform::win32
