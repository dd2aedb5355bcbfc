#include <string>

#include "conformance/backend.h"
#include "platform/sim/machine.h"

namespace conformance {
namespace {

constexpr char kProgramPath[] = "C:\\Build\\Tests\\conformance.exe";

class SimBackend final : public Backend {
 public:
  SimBackend() {
    machine_.Files().WriteFile(kProgramPath, "MZ");
    machine_.Files().SetFileVersion(kProgramPath, kProgramVersion);
    // The tests run inside conformance.exe: its file and current folder are in use meanwhile.
    machine_.Files().ProcessStarted(process_.Id(), kProgramPath);
    // What the processes it starts run: conformance.exe again, as a probe (see kProbeExit) or
    // with a command line that names no test to run.
    machine_.Processes().SetProgram([](platform::Platform& platform) {
      std::optional<unsigned> exitCode;
      for (const std::string& argument : platform.process.Arguments()) {
        const auto value = [&](const std::string& name) {
          return static_cast<unsigned>(std::stoul(argument.substr(name.size())));
        };
        if (argument.starts_with(kProbeLinger)) {
          platform.process.Sleep(value(kProbeLinger));
        } else if (argument.starts_with(kProbeExit)) {
          exitCode = value(kProbeExit);
        }
      }
      if (exitCode) {
        platform.process.ExitProcess(*exitCode);
      }
      return 0;
    });
  }

  platform::Platform& Get() override { return process_.GetPlatform(); }
  std::string ProgramFileName() const override { return "conformance.exe"; }

  bool WriteBytes(const std::string& path, const std::string& bytes) override {
    const std::string parent = path.substr(0, path.find_last_of("\\/"));
    if (!machine_.Files().Exists(parent) || machine_.Files().ReadFile(parent)) {
      return false;
    }
    machine_.Files().WriteFile(path, bytes);
    return true;
  }
  std::optional<std::string> ReadBytes(const std::string& path) override {
    return machine_.Files().ReadFile(path);
  }
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
    if (!machine_.Files().Exists(path)) {
      return false;
    }
    machine_.Files().SetAttributes(path, attributes);
    return true;
  }
  bool HoldOpen(const std::string& path) override {
    if (!machine_.Files().ReadFile(path)) {
      return false;
    }
    machine_.Files().SetInUse(path, sim::InUse::NotRenamable);
    return true;
  }
  void Release(const std::string& path) override {
    if (machine_.Files().ReadFile(path)) {
      machine_.Files().SetInUse(path, sim::InUse::None);
    }
  }
  bool SetEnvironmentVariable(const std::string& name, const std::string& value) override {
    process_.SetEnvironmentVariable(name, value);
    return true;
  }
  std::optional<std::string> ShortPath(const std::string& path) override {
    return machine_.Files().ShortPath(path);
  }
  bool UseCodePage(unsigned codePage) override {
    machine_.System().SetCodePage(codePage);
    return true;
  }
  std::optional<SavedShortcut> ReadShortcut(const std::string& path) override {
    const std::optional<sim::Shortcut> shortcut = machine_.Shell().ReadShortcut(path);
    if (!shortcut) {
      return std::nullopt;
    }
    return SavedShortcut{shortcut->target, shortcut->workingFolder, shortcut->description};
  }

  platform::WindowHandle MakeTopLevelWindow(const std::string& title, platform::WindowHandle owner,
                                            std::uint32_t exStyle) override {
    // The simulated machine refuses an owner that is no window by throwing; Windows fails.
    if (owner != platform::kNoWindow && !machine_.Windows().Exists(owner)) {
      return platform::kNoWindow;
    }
    return process_.CreateWindow(title, owner, exStyle);
  }
  void DestroyTopLevelWindow(platform::WindowHandle window) override {
    process_.DestroyWindow(window);
  }
  std::vector<QueuedMessage> PostedMessages(platform::WindowHandle window) override {
    std::vector<QueuedMessage> messages;
    for (const sim::PostedMessage& posted : machine_.Session().PostedMessages()) {
      if (posted.window == window) {
        messages.push_back({posted.message, posted.wParam, posted.lParam});
      }
    }
    return messages;
  }

 private:
  sim::Machine machine_;
  sim::Process& process_ = machine_.Processes().Start({kProgramPath, {}, "conformance.exe"});
};

}  // namespace

std::unique_ptr<Backend> MakeBackend() {
  return std::make_unique<SimBackend>();
}

}  // namespace conformance
