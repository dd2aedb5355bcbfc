#include "platform/recording.h"

#include "platform/errors.h"

namespace platform {

namespace {

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

bool IsMissing(unsigned error) {
  return error == kErrorFileNotFound || error == kErrorPathNotFound;
}

}  // namespace

std::string ErrorText(unsigned code) {
  // By hand: the runtime's formatted printing would double the program's size.
  std::string digits;
  if (code >= 0x80000000u) {
    for (int shift = 28; shift >= 0; shift -= 4) {
      digits += "0123456789ABCDEF"[(code >> shift) & 0xF];
    }
    return "error 0x" + digits;
  }
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + code % 10));
    code /= 10;
  } while (code != 0);
  return "error " + digits;
}

// Every failure is told by the caller, right after the call, before anything else can change
// the thread's last error.
class RecordingPlatform::Files final : public FileSystem {
 public:
  Files(FileSystem& inner, Process& process, const RunLog& log)
      : inner_(inner), process_(process), log_(log) {}

  std::uint32_t GetFileAttributes(const std::string& path) override {
    return inner_.GetFileAttributes(path);
  }
  bool SetFileAttributes(const std::string& path, std::uint32_t attributes) override {
    return Unless(inner_.SetFileAttributes(path, attributes), "SetFileAttributesA", path,
                  IsMissing);
  }
  std::optional<FileIdentity> GetFileIdentity(const std::string& path) override {
    return inner_.GetFileIdentity(path);
  }
  std::vector<FoundFile> FindFiles(const std::string& pattern) override {
    return inner_.FindFiles(pattern);
  }
  bool CreateDirectory(const std::string& path) override {
    return Unless(inner_.CreateDirectory(path), "CreateDirectoryA", path,
                  [](unsigned error) { return error == kErrorAlreadyExists; });
  }
  bool RemoveDirectory(const std::string& path) override {
    return Unless(inner_.RemoveDirectory(path), "RemoveDirectoryA", path, IsMissing);
  }
  bool DeleteFile(const std::string& path) override {
    return Unless(inner_.DeleteFile(path), "DeleteFileA", path, IsMissing);
  }
  bool CopyFile(const std::string& existing, const std::string& target,
                bool failIfExists) override {
    return Unless(
        inner_.CopyFile(existing, target, failIfExists), "CopyFileA",
        Quoted(existing) + " -> " + Quoted(target),
        [failIfExists](unsigned error) { return failIfExists && error == kErrorFileExists; },
        false);
  }
  bool MoveFileEx(const std::string& existing, const std::optional<std::string>& target,
                  std::uint32_t flags) override {
    const bool moved = inner_.MoveFileEx(existing, target, flags);
    if (moved && (flags & kMoveFileDelayUntilReboot)) {
      log_.Write(target ? "At next start: rename " + Quoted(existing) + " to " + Quoted(*target)
                        : "At next start: delete " + Quoted(existing));
      return true;
    }
    const std::string paths = Quoted(existing) + (target ? " -> " + Quoted(*target) : "");
    return Unless(moved, "MoveFileExA", paths, IsMissing, false);
  }
  bool SetCurrentDirectory(const std::string& path) override {
    return inner_.SetCurrentDirectory(path);
  }
  std::string GetFullPathName(const std::string& path) override {
    return inner_.GetFullPathName(path);
  }
  std::string GetTempPath() override { return inner_.GetTempPath(); }
  std::string GetTempFileName(const std::string& folder, const std::string& prefix) override {
    std::string name = inner_.GetTempFileName(folder, prefix);
    Unless(!name.empty(), "GetTempFileNameA", folder, [](unsigned) { return false; });
    return name;
  }
  std::size_t GetPrivateProfileSection(const std::string& section, std::size_t capacity,
                                       const std::string& file, std::string& lines) override {
    return inner_.GetPrivateProfileSection(section, capacity, file, lines);
  }
  bool WritePrivateProfileSection(const std::string& section, const std::string& lines,
                                  const std::string& file) override {
    const bool written = inner_.WritePrivateProfileSection(section, lines, file);
    if (written) {
      // The entry just added is the last of the section, behind the others.
      const std::size_t end = lines.find_last_not_of('\0');
      const std::size_t start = end == std::string::npos ? end : lines.find_last_of('\0', end);
      if (end != std::string::npos) {
        log_.Write("At next start (" + file + "): " +
                   lines.substr(start == std::string::npos ? 0 : start + 1,
                                end - (start == std::string::npos ? 0 : start + 1) + 1));
      }
      return true;
    }
    return Unless(false, "WritePrivateProfileSectionA", file, [](unsigned) { return false; });
  }
  std::unique_ptr<TextFile> OpenTextFile(const std::string& path) override {
    return inner_.OpenTextFile(path);
  }
  std::optional<std::string> ReadWholeFile(const std::string& path) override {
    return inner_.ReadWholeFile(path);
  }
  bool AppendText(const std::string& path, const std::string& text) override {
    return Unless(inner_.AppendText(path, text), "fopen", path, [](unsigned) { return false; });
  }

 private:
  // Writes the failed call unless `expected` says its error leaves the machine as asked.
  template <typename Expected>
  bool Unless(bool succeeded, const char* call, const std::string& path, Expected expected,
              bool quote = true) {
    if (!succeeded) {
      const unsigned error = process_.LastError();
      if (!expected(error)) {
        log_.Write(std::string("Failed: ") + call + " " + (quote ? Quoted(path) : path) + ": " +
                   ErrorText(error));
      }
    }
    return succeeded;
  }

  FileSystem& inner_;
  Process& process_;
  const RunLog& log_;
};

// Keys are named in the log by their whole path, as regedit shows them.
class RecordingPlatform::Keys final : public Registry {
 public:
  Keys(Registry& inner, const RunLog& log) : inner_(inner), log_(log) {}

  long OpenKey(RegistryKey key, const std::string& subKey, std::uint32_t access,
               RegistryKey& opened) override {
    const long status = inner_.OpenKey(key, subKey, access, opened);
    // Opening for reading is asking whether a key is there; opening to change it is a change.
    if (status == kErrorSuccess) {
      names_[opened] = Name(key, subKey);
    } else if (status != kErrorFileNotFound && (access & ~kKeyRead) != 0) {
      Write("RegOpenKeyExA", Name(key, subKey), status);
    }
    return status;
  }
  long CreateKey(RegistryKey key, const std::string& subKey, RegistryKey& opened) override {
    const long status = inner_.CreateKey(key, subKey, opened);
    if (status == kErrorSuccess) {
      names_[opened] = Name(key, subKey);
    } else {
      Write("RegCreateKeyA", Name(key, subKey), status);
    }
    return status;
  }
  long QueryValue(RegistryKey key, const std::string& name, std::size_t capacity,
                  RegistryValue& value) override {
    return inner_.QueryValue(key, name, capacity, value);
  }
  long SetValue(RegistryKey key, const std::string& name, std::uint32_t type,
                const std::string& data) override {
    const long status = inner_.SetValue(key, name, type, data);
    if (status != kErrorSuccess) {
      Write("RegSetValueExA", Name(key, "") + "\" \"" + name, status);
    }
    return status;
  }
  long EnumKey(RegistryKey key, std::uint32_t index, std::string& name) override {
    return inner_.EnumKey(key, index, name);
  }
  long DeleteKey(RegistryKey key, const std::string& subKey) override {
    const long status = inner_.DeleteKey(key, subKey);
    if (status != kErrorSuccess && status != kErrorFileNotFound) {
      Write("RegDeleteKeyA", Name(key, subKey), status);
    }
    return status;
  }
  long DeleteValue(RegistryKey key, const std::string& name) override {
    const long status = inner_.DeleteValue(key, name);
    if (status != kErrorSuccess && status != kErrorFileNotFound) {
      Write("RegDeleteValueA", Name(key, "") + "\" \"" + name, status);
    }
    return status;
  }
  long CloseKey(RegistryKey key) override {
    names_.erase(key);
    return inner_.CloseKey(key);
  }

 private:
  std::string Name(RegistryKey key, const std::string& subKey) const {
    std::string name;
    switch (key) {
      case kHkeyClassesRoot:
        name = "HKEY_CLASSES_ROOT";
        break;
      case kHkeyCurrentUser:
        name = "HKEY_CURRENT_USER";
        break;
      case kHkeyLocalMachine:
        name = "HKEY_LOCAL_MACHINE";
        break;
      case kHkeyUsers:
        name = "HKEY_USERS";
        break;
      default: {
        const auto found = names_.find(key);
        name = found != names_.end() ? found->second : "(key)";
      }
    }
    return subKey.empty() ? name : name + "\\" + subKey;
  }
  void Write(const char* call, const std::string& name, long status) const {
    log_.Write(std::string("Failed: ") + call + " \"" + name +
               "\": " + ErrorText(static_cast<unsigned>(status)));
  }

  Registry& inner_;
  const RunLog& log_;
  std::map<RegistryKey, std::string> names_;
};

class RecordingPlatform::ShellCalls final : public Shell {
 public:
  ShellCalls(Shell& inner, Process& process, const RunLog& log)
      : inner_(inner), process_(process), log_(log) {}

  std::unique_ptr<ShellLink> CreateShellLink() override {
    std::unique_ptr<ShellLink> link = inner_.CreateShellLink();
    if (!link) {
      log_.Write("Failed: CoCreateInstance \"ShellLink\"");
      return nullptr;
    }
    return std::make_unique<Link>(std::move(link), process_, log_);
  }
  // A desktop that does not answer is no failure: the caller then opens the file itself, and
  // that call is logged if it fails.
  bool OpenFromDesktop(const std::string& file, const std::string& folder) override {
    return inner_.OpenFromDesktop(file, folder);
  }
  bool Open(const std::string& file) override {
    const bool opened = inner_.Open(file);
    if (!opened) {
      log_.Write("Failed: ShellExecuteA \"" + file + "\"");
    }
    return opened;
  }
  void ChangeNotify(std::int32_t event, std::uint32_t flags) override {
    inner_.ChangeNotify(event, flags);
  }

 private:
  class Link final : public ShellLink {
   public:
    Link(std::unique_ptr<ShellLink> inner, Process& process, const RunLog& log)
        : inner_(std::move(inner)), process_(process), log_(log) {}
    bool SetPath(const std::string& target) override {
      return Told(inner_->SetPath(target), "IShellLinkA::SetPath", target);
    }
    bool SetDescription(const std::string& description) override {
      return Told(inner_->SetDescription(description), "IShellLinkA::SetDescription", description);
    }
    bool SetWorkingDirectory(const std::string& folder) override {
      return inner_->SetWorkingDirectory(folder);
    }
    bool Save(const std::string& path) override {
      const bool saved = inner_->Save(path);
      if (!saved) {
        log_.Write("Failed: IPersistFile::Save \"" + path +
                   "\": " + ErrorText(process_.LastError()));
      }
      return saved;
    }

   private:
    // The link's calls answer with an HRESULT the interface does not pass on.
    bool Told(bool succeeded, const char* call, const std::string& text) {
      if (!succeeded) {
        log_.Write(std::string("Failed: ") + call + " \"" + text + "\"");
      }
      return succeeded;
    }

    std::unique_ptr<ShellLink> inner_;
    Process& process_;
    const RunLog& log_;
  };

  Shell& inner_;
  Process& process_;
  const RunLog& log_;
};

class RecordingPlatform::Processes final : public Process {
 public:
  Processes(Process& inner, const RunLog& log) : inner_(inner), log_(log) {}

  std::string ModuleFileName() override { return inner_.ModuleFileName(); }
  std::vector<std::string> Arguments() override { return inner_.Arguments(); }
  void Sleep(unsigned milliseconds) override { inner_.Sleep(milliseconds); }
  unsigned LastError() override { return inner_.LastError(); }
  std::optional<std::string> GetEnvironmentVariable(const std::string& name) override {
    return inner_.GetEnvironmentVariable(name);
  }
  bool CanLoadLibrary(const std::string& name) override { return inner_.CanLoadLibrary(name); }
  bool CreateProcess(const std::string& application, const std::string& commandLine,
                     const std::string& workingFolder) override {
    const bool started = inner_.CreateProcess(application, commandLine, workingFolder);
    if (!started) {
      log_.Write("Failed: CreateProcessA \"" + commandLine +
                 "\": " + ErrorText(inner_.LastError()));
    }
    return started;
  }
  void StartReplacingProcess(const std::string& program,
                             const std::vector<std::string>& arguments) override {
    inner_.StartReplacingProcess(program, arguments);
    log_.Write("Failed: _spawnv \"" + program + "\": " + ErrorText(inner_.LastError()));
  }

 protected:
  void EndProcess(unsigned exitCode) override { inner_.ExitProcess(exitCode); }

 private:
  Process& inner_;
  const RunLog& log_;
};

class RecordingPlatform::SessionCalls final : public Session {
 public:
  SessionCalls(Session& inner, Process& process, const RunLog& log)
      : inner_(inner), process_(process), log_(log) {}

  KernelHandle CreateMutex(const std::string& name) override { return inner_.CreateMutex(name); }
  bool WaitForMutex(KernelHandle mutex) override { return inner_.WaitForMutex(mutex); }
  bool ReleaseMutex(KernelHandle mutex) override { return inner_.ReleaseMutex(mutex); }
  std::uint32_t AllocationGranularity() override { return inner_.AllocationGranularity(); }
  KernelHandle CreateSharedMemory(const std::string& name, std::uint32_t size,
                                  bool& alreadyExisted) override {
    return inner_.CreateSharedMemory(name, size, alreadyExisted);
  }
  std::uint8_t* MapView(KernelHandle region, std::uint32_t offset, std::uint32_t length) override {
    return inner_.MapView(region, offset, length);
  }
  bool UnmapView(std::uint8_t* view) override { return inner_.UnmapView(view); }
  bool CloseHandle(KernelHandle handle) override { return inner_.CloseHandle(handle); }
  std::vector<WindowHandle> TopLevelWindows() override { return inner_.TopLevelWindows(); }
  unsigned WindowProcessId(WindowHandle window) override { return inner_.WindowProcessId(window); }
  WindowHandle WindowOwner(WindowHandle window) override { return inner_.WindowOwner(window); }
  std::uint32_t WindowExStyle(WindowHandle window) override { return inner_.WindowExStyle(window); }
  std::string WindowTitle(WindowHandle window, std::size_t capacity) override {
    return inner_.WindowTitle(window, capacity);
  }
  bool PostMessage(WindowHandle window, unsigned message, std::uintptr_t wParam,
                   std::intptr_t lParam) override {
    return inner_.PostMessage(window, message, wParam, lParam);
  }
  unsigned CurrentProcessId() override { return inner_.CurrentProcessId(); }
  KernelHandle OpenProcess(unsigned id, std::uint32_t access) override {
    return inner_.OpenProcess(id, access);
  }
  KernelHandle OpenParentProcess(std::uint32_t access) override {
    return inner_.OpenParentProcess(access);
  }
  bool TerminateProcess(KernelHandle process, unsigned exitCode) override {
    return inner_.TerminateProcess(process, exitCode);
  }
  bool WaitForProcessEnd(KernelHandle process, unsigned milliseconds) override {
    return inner_.WaitForProcessEnd(process, milliseconds);
  }
  KernelHandle StartProcess(const std::string& application,
                            const std::string& commandLine) override {
    const KernelHandle started = inner_.StartProcess(application, commandLine);
    if (started == kNoHandle) {
      log_.Write("Failed: CreateProcessA \"" + commandLine +
                 "\": " + ErrorText(process_.LastError()));
    }
    return started;
  }
  std::optional<unsigned> ProcessExitCode(KernelHandle process) override {
    return inner_.ProcessExitCode(process);
  }

 private:
  Session& inner_;
  Process& process_;
  const RunLog& log_;
};

RecordingPlatform::RecordingPlatform(Platform& inner, const RunLog& log)
    : files_(std::make_unique<Files>(inner.files, inner.process, log)),
      registry_(std::make_unique<Keys>(inner.registry, log)),
      shell_(std::make_unique<ShellCalls>(inner.shell, inner.process, log)),
      process_(std::make_unique<Processes>(inner.process, log)),
      session_(std::make_unique<SessionCalls>(inner.session, inner.process, log)),
      platform_{*process_,    inner.ui, *files_,       *registry_, inner.versions,
                inner.system, *shell_,  inner.dialogs, *session_} {}

RecordingPlatform::~RecordingPlatform() = default;

}  // namespace platform
