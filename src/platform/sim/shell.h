// The simulated shell: shell links saved as files, ShellExecute, the desktop's shell that opens
// files on a program's behalf, and the change notifications programs send it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/shell.h"
#include "platform/sim/faults.h"
#include "platform/sim/file_system.h"
#include "platform/sim/system.h"

namespace sim {

// What a saved shell link records.
struct Shortcut {
  std::string target;
  std::string workingFolder;
  std::string description;
  bool operator==(const Shortcut&) const = default;
};

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

class Shell {
 public:
  Shell(FileSystem& files, System& system, FaultInjector& faults)
      : files_(files), system_(system), faults_(faults) {}
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;

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
  // Every SHChangeNotify call of every process, in order.
  const std::vector<ShellNotification>& Notifications() const { return notifications_; }

  // platform::Shell on behalf of process `processId`.
  std::unique_ptr<platform::ShellLink> CreateShellLink(unsigned processId);
  bool Open(unsigned processId, const std::string& file);
  bool OpenFromDesktop(unsigned processId, const std::string& file, const std::string& folder);
  void ChangeNotify(unsigned processId, std::int32_t event, std::uint32_t flags);

 private:
  FileSystem& files_;
  System& system_;
  FaultInjector& faults_;
  std::vector<std::string> opened_;
  bool desktopShell_ = false;
  std::vector<DesktopOpen> desktopOpens_;
  std::vector<ShellNotification> notifications_;
};

}  // namespace sim
