// The real Windows platform of the running process.
#pragma once

#include <cstdio>

#include "platform/platform.h"

namespace platform::win32 {

// Confines every library loaded from now on to the system folder, so that a DLL lying beside
// the program (a download folder holds anything) is never picked up. Call it first in main,
// before any code that might load a library. Does nothing on a Windows too old to offer it.
void RestrictLibrarySearch();

class Win32Process final : public Process {
 public:
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
};

class Win32UserInterface final : public UserInterface {
 public:
  std::string LoadString(unsigned id) override;
  std::string LoadString(unsigned id, std::size_t capacity) override;
  BoxResult MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                       BoxStyle style) override;
};

class Win32TextFile final : public TextFile {
 public:
  explicit Win32TextFile(std::FILE* file) : file_(file) {}
  ~Win32TextFile() override;
  Win32TextFile(const Win32TextFile&) = delete;
  Win32TextFile& operator=(const Win32TextFile&) = delete;

  std::optional<std::string> ReadLine(std::size_t capacity) override;
  void Rewind() override;

 private:
  std::FILE* file_;
};

class Win32FileSystem final : public FileSystem {
 public:
  std::uint32_t GetFileAttributes(const std::string& path) override;
  bool SetFileAttributes(const std::string& path, std::uint32_t attributes) override;
  std::vector<FoundFile> FindFiles(const std::string& pattern) override;
  bool CreateDirectory(const std::string& path) override;
  bool RemoveDirectory(const std::string& path) override;
  bool DeleteFile(const std::string& path) override;
  bool CopyFile(const std::string& existing, const std::string& target, bool failIfExists) override;
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
  std::unique_ptr<TextFile> OpenTextFile(const std::string& path) override;
  std::optional<std::string> ReadWholeFile(const std::string& path) override;
  std::optional<platform::FileIdentity> GetFileIdentity(const std::string& path) override;
  bool AppendText(const std::string& path, const std::string& text) override;
};

class Win32Registry final : public Registry {
 public:
  long OpenKey(RegistryKey key, const std::string& subKey, std::uint32_t access,
               RegistryKey& opened) override;
  long CreateKey(RegistryKey key, const std::string& subKey, RegistryKey& opened) override;
  long QueryValue(RegistryKey key, const std::string& name, std::size_t capacity,
                  RegistryValue& value) override;
  long SetValue(RegistryKey key, const std::string& name, std::uint32_t type,
                const std::string& data) override;
  long EnumKey(RegistryKey key, std::uint32_t index, std::string& name) override;
  long DeleteKey(RegistryKey key, const std::string& subKey) override;
  long DeleteValue(RegistryKey key, const std::string& name) override;
  long CloseKey(RegistryKey key) override;
};

// An entry point found with GetProcAddress, kept untyped until it is called.
using ProcEntry = void (*)();

class Win32VersionResources final : public VersionResources {
 public:
  std::optional<FixedFileVersion> GetFixedFileVersion(const std::string& path) override;

 private:
  bool Load();

  bool loadTried_ = false;
  ProcEntry getSize_ = nullptr;
  ProcEntry getInfo_ = nullptr;
  ProcEntry queryValue_ = nullptr;
};

class Win32System final : public System {
 public:
  std::string GetWindowsDirectory() override;
  bool HasIsWow64Process() override;
  bool IsWow64Process() override;
  bool IsDBCSLeadByte(unsigned char byte) override;
  std::uint64_t GetSystemTimeAsFileTime() override;

 private:
  bool lookedUp_ = false;
  ProcEntry isWow64Process_ = nullptr;
};

// An entry of a library of the system folder, which is loaded by its full path at the first
// call that asks and stays loaded; nullptr when the library or the entry is missing. The window
// manager, shell and component libraries come this way instead of through the import table: a
// silent removal's processes never need them, and every start would pay for loading them.
void* SystemLibraryEntry(const char* library, const char* entry);

template <typename Function>
Function* SystemEntry(const char* library, const char* entry) {
  return reinterpret_cast<Function*>(SystemLibraryEntry(library, entry));
}

// Initialises COM, with OLE on top, once for the thread that makes shell links and folder
// browsers; it stays initialised for the rest of the process.
void InitialiseOle();

// Lets the thread's windows paint while Win32Dialogs::SetBusy holds a frame; nothing otherwise.
// The long operations of this folder call it.
void KeepBusyWindowsPainting();

class Win32Shell final : public Shell {
 public:
  std::unique_ptr<ShellLink> CreateShellLink() override;
  bool Open(const std::string& file) override;
  bool OpenFromDesktop(const std::string& file, const std::string& folder) override;
  void ChangeNotify(std::int32_t event, std::uint32_t flags) override;
};

class Win32Dialogs final : public Dialogs {
 public:
  int DoModal(unsigned layout, WindowHandle owner, DialogEvents& events) override;
  void EndDialog(WindowHandle dialog, int result) override;
  WindowHandle CreateChild(unsigned layout, WindowHandle parent, DialogEvents& events) override;
  bool DestroyWindow(WindowHandle window) override;
  WindowHandle GetItem(WindowHandle dialog, int id) override;
  std::string GetText(WindowHandle window) override;
  void SetText(WindowHandle window, const std::string& text) override;
  void Show(WindowHandle window, bool show) override;
  bool IsVisible(WindowHandle window) override;
  void Enable(WindowHandle window, bool enable) override;
  bool IsEnabled(WindowHandle window) override;
  bool IsChecked(WindowHandle button) override;
  void SetCheck(WindowHandle button, bool checked) override;
  void SetFocus(WindowHandle window) override;
  WindowHandle GetFocus() override;
  void SetEditSelection(WindowHandle edit, int start, int end) override;
  void ScrollCaret(WindowHandle edit) override;
  std::pair<int, int> GetEditSelection(WindowHandle edit) override;
  void SetProgressRange(WindowHandle bar, int maximum) override;
  void SetProgressPosition(WindowHandle bar, int position) override;
  ProgressState GetProgress(WindowHandle bar) override;
  Rect GetRectInParent(WindowHandle window) override;
  void PlaceOnTop(WindowHandle window, int x, int y) override;
  void Repaint(WindowHandle window) override;
  void SetCursor(Cursor cursor) override;
  void SetBusy(WindowHandle frame, bool busy) override;
  BrowseResult BrowseForFolder(WindowHandle owner, const std::string& title, std::uint32_t flags,
                               BrowseEvents& events) override;
  void BrowseSelect(WindowHandle browser, const std::string& path) override;
};

class Win32Session final : public Session {
 public:
  KernelHandle CreateMutex(const std::string& name) override;
  bool WaitForMutex(KernelHandle mutex) override;
  bool ReleaseMutex(KernelHandle mutex) override;
  std::uint32_t AllocationGranularity() override;
  KernelHandle CreateSharedMemory(const std::string& name, std::uint32_t size,
                                  bool& alreadyExisted) override;
  std::uint8_t* MapView(KernelHandle region, std::uint32_t offset, std::uint32_t length) override;
  bool UnmapView(std::uint8_t* view) override;
  bool CloseHandle(KernelHandle handle) override;
  std::vector<WindowHandle> TopLevelWindows() override;
  unsigned WindowProcessId(WindowHandle window) override;
  WindowHandle WindowOwner(WindowHandle window) override;
  std::uint32_t WindowExStyle(WindowHandle window) override;
  std::string WindowTitle(WindowHandle window, std::size_t capacity) override;
  bool PostMessage(WindowHandle window, unsigned message, std::uintptr_t wParam,
                   std::intptr_t lParam) override;
  unsigned CurrentProcessId() override;
  KernelHandle OpenParentProcess(std::uint32_t access) override;
  KernelHandle OpenProcess(unsigned id, std::uint32_t access) override;
  bool TerminateProcess(KernelHandle process, unsigned exitCode) override;
  bool WaitForProcessEnd(KernelHandle process, unsigned milliseconds) override;
  KernelHandle StartProcess(const std::string& application,
                            const std::string& commandLine) override;
  std::optional<unsigned> ProcessExitCode(KernelHandle process) override;
};

// Every facility of this process, in one object that lives as long as the program runs.
class Win32Platform {
 public:
  Platform& Get() { return platform_; }

 private:
  Win32Process process_;
  Win32UserInterface ui_;
  Win32FileSystem files_;
  Win32Registry registry_;
  Win32VersionResources versions_;
  Win32System system_;
  Win32Shell shell_;
  Win32Dialogs dialogs_;
  Win32Session session_;
  Platform platform_{process_, ui_,    files_,   registry_, versions_,
                     system_,  shell_, dialogs_, session_};
};

}  // namespace platform::win32
