// The Windows shell.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

inline constexpr std::int32_t kShellEventAssociationChanged = 0x08000000;  // SHCNE_ASSOCCHANGED
inline constexpr std::uint32_t kShellNotifyIdList = 0x0000;                // SHCNF_IDLIST

// A shell link object (IShellLinkA with its IPersistFile), released when destroyed.
class ShellLink {
 public:
  virtual ~ShellLink() = default;
  // IShellLinkA::SetPath, SetDescription, SetWorkingDirectory: true when the call succeeds
  // (SetPath answers S_FALSE for a target that does not exist yet, and keeps the path).
  virtual bool SetPath(const std::string& target) = 0;
  virtual bool SetDescription(const std::string& description) = 0;
  virtual bool SetWorkingDirectory(const std::string& folder) = 0;
  // IPersistFile::Save with the path made wide through the ANSI code page (at most 259
  // characters), remembered: true when it succeeds. The folder must exist. On failure the
  // HRESULT is left as the thread's last error (Process::LastError), for the run's log.
  virtual bool Save(const std::string& path) = 0;
};

class Shell {
 public:
  virtual ~Shell() = default;

  // CoCreateInstance of the shell link class and its IPersistFile, with the component library
  // initialised for the process on first use: nullptr when either cannot be had.
  virtual std::unique_ptr<ShellLink> CreateShellLink() = 0;

  // ShellExecuteA without an owner, with the verb "open", no parameters and no folder, shown
  // normally: opens a document or a web address in its program. False when that failed.
  virtual bool Open(const std::string& file) = 0;

  // Asks the shell of the user's desktop (Explorer) to open `file`, a program or a web address,
  // with the verb "open", no parameters, `folder` as its current folder (empty: the shell's
  // choice), shown normally: IShellDispatch2::ShellExecute of the desktop's folder view, reached
  // through IShellWindows::FindWindowSW(SWC_DESKTOP), its top-level browser and the view's
  // background object. What the desktop starts runs with the rights of the user who owns the
  // desktop, not with this process's, which may be elevated. True when the shell took the
  // request; it carries it out on its own, and whether the start then succeeds is not known
  // here. False when no desktop shell answers (none runs in the session, as for a service) or a
  // step of the way is refused: then nothing has been started.
  virtual bool OpenFromDesktop(const std::string& file, const std::string& folder) = 0;

  // SHChangeNotify without items: tells the shell that something it shows has changed.
  virtual void ChangeNotify(std::int32_t event, std::uint32_t flags) = 0;
};

}  // namespace platform
