// A simulated Windows machine that runs processes of this program, deterministically and in
// memory, for the unit and scenario tests. Every facility keeps the Windows behaviour the
// logic relies on; the conformance suite checks the two backends against each other. The
// machine only wires the facilities together; each owns its state and the test's knobs on it
// (see README.md beside this file).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/faults.h"
#include "platform/sim/file_system.h"
#include "platform/sim/processes.h"
#include "platform/sim/registry.h"
#include "platform/sim/session.h"
#include "platform/sim/shell.h"
#include "platform/sim/system.h"
#include "platform/sim/user.h"
#include "platform/sim/window_manager.h"

namespace sim {

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
  // Every process, the programs they start and the libraries they find.
  sim::Processes& Processes() { return processes_; }
  const sim::Processes& Processes() const { return processes_; }
  // The session's mutexes, shared memory and posted messages.
  sim::Session& Session() { return session_; }
  const sim::Session& Session() const { return session_; }
  // Shell links, ShellExecute and the desktop's shell.
  sim::Shell& Shell() { return shell_; }
  const sim::Shell& Shell() const { return shell_; }

  // A user's profile folder, e.g. C:\Users\User; throws sim::ScriptError for an unknown user.
  std::string ProfileFolder(const std::string& sid) const;

  // Restarts Windows: no process runs after it, the session's objects and windows go, and the
  // files see the system start (FileSystem::Restart): every hold ends, the delayed operations
  // are carried out in order, then the [rename] section of WININIT.INI.
  void Reboot();

  // The whole machine for a before-and-after comparison: every drive, folder and file with
  // attributes, size, a hash of the contents and the version, then the delayed operations still
  // waiting for the next start, then every registry key and value.
  std::vector<std::string> Snapshot() const;

 private:
  void LayDownProfile(sim::Registry& registry, const std::string& sid);

  std::map<std::string, std::string> profiles_;  // by SID; before the registry, which fills it
  User user_;
  FaultInjector faults_;  // before the facilities that ask it
  sim::FileSystem files_;
  sim::FileVersions versions_{files_};
  sim::System system_;
  sim::Registry registry_;  // after the files: a new user's profile folders are laid down
  WindowManager windows_{user_, files_};
  sim::Shell shell_{files_, system_, faults_};
  sim::Session session_{faults_};  // before the processes, which release their objects
  sim::Processes processes_{*this, session_};
};

}  // namespace sim
