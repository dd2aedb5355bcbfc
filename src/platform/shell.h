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

  // SHChangeNotify without items: tells the shell that something it shows has changed.
  virtual void ChangeNotify(std::int32_t event, std::uint32_t flags) = 0;
};

}  // namespace platform
