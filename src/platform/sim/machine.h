// A simulated Windows machine that runs processes of this program, deterministically and in
// memory, for the unit and scenario tests. Every facility keeps the Windows behaviour the
// logic relies on; the conformance suite checks the two backends against each other.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/file_system.h"
#include "platform/sim/registry.h"
#include "platform/sim/system.h"
#include "platform/sim/user.h"

namespace sim {

class Machine;

// How a process is started: its program file and its command line.
struct ProcessSpec {
  std::string modulePath;              // full path of the program file
  std::vector<std::string> arguments;  // the arguments after the program name, quotes removed
  std::string programName;             // argument 0 as typed; empty means the module path
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
  // process only. Returns the exit code: ExitProcess's, or else what `main` returned.
  unsigned Run(const std::function<int(platform::Platform&)>& main);
  std::optional<unsigned> ExitCode() const { return exitCode_; }

 private:
  class ProcessFacility final : public platform::Process {
   public:
    explicit ProcessFacility(sim::Process& owner) : owner_(owner) {}
    std::string ModuleFileName() override;
    std::vector<std::string> Arguments() override;

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

  Machine& machine_;
  unsigned id_;
  ProcessSpec spec_;
  std::optional<unsigned> exitCode_;
  ProcessFacility processFacility_{*this};
  UiFacility uiFacility_{*this};
  platform::Platform platform_;  // the machine's files, registry and system, shared by all
};

// A fresh machine looks like a fresh 32-bit Windows where an installer looks: drive C: with
// the Windows and program files folders, the program files folder in the registry, and the
// shell folders of the default user and of all users, laid down on the disk.
class Machine {
 public:
  Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  User& GetUser() { return user_; }
  sim::FileSystem& Files() { return files_; }
  sim::Registry& Registry() { return registry_; }
  sim::System& System() { return system_; }
  platform::VersionResources& Versions() { return versions_; }

  // A new process of this program, not yet running.
  Process& StartProcess(ProcessSpec spec);
  const std::deque<std::unique_ptr<Process>>& Processes() const { return processes_; }

 private:
  void LayDownProfile(sim::Registry& registry, const std::string& sid);

  User user_;
  sim::FileSystem files_;
  sim::FileVersions versions_{files_};
  sim::System system_;
  sim::Registry registry_;  // after the files: a new user's profile folders are laid down
  unsigned nextProcessId_ = 1000;
  std::deque<std::unique_ptr<Process>> processes_;
};

}  // namespace sim
