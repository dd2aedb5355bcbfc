#include "platform/sim/machine.h"

#include "resources/resource_tables.h"

namespace sim {
namespace {

// Carries ExitProcess's code out of the simulated program to Process::Run.
struct ProcessExit {
  unsigned exitCode;
};

}  // namespace

Process::Process(Machine& machine, unsigned id, ProcessSpec spec)
    : machine_(machine), id_(id), spec_(std::move(spec)), platform_{processFacility_,
                                                                    uiFacility_,
                                                                    machine.Files(),
                                                                    machine.Registry(),
                                                                    machine.Versions(),
                                                                    machine.System()} {}

unsigned Process::Run(const std::function<int(platform::Platform&)>& main) {
  if (exitCode_) {
    throw ScriptError("process " + std::to_string(id_) + " has already run");
  }
  try {
    exitCode_ = static_cast<unsigned>(main(platform_));
  } catch (const ProcessExit& exit) {
    exitCode_ = exit.exitCode;
  }
  return *exitCode_;
}

std::string Process::ProcessFacility::ModuleFileName() {
  return owner_.spec_.modulePath;
}

std::vector<std::string> Process::ProcessFacility::Arguments() {
  const ProcessSpec& spec = owner_.spec_;
  std::vector<std::string> arguments;
  arguments.push_back(spec.programName.empty() ? spec.modulePath : spec.programName);
  arguments.insert(arguments.end(), spec.arguments.begin(), spec.arguments.end());
  return arguments;
}

void Process::ProcessFacility::EndProcess(unsigned exitCode) {
  throw ProcessExit{exitCode};
}

// The simulated program file carries the resources that setup.rc gives the real one.
std::string Process::UiFacility::LoadString(unsigned id) {
  const resources::StringEntry* entry =
      id <= 0xFFFF ? resources::FindString(static_cast<std::uint16_t>(id)) : nullptr;
  return entry ? std::string(entry->text) : std::string();
}

std::string Process::UiFacility::LoadString(unsigned id, std::size_t capacity) {
  std::string text = LoadString(id);
  if (capacity == 0) {
    return {};
  }
  if (text.size() > capacity - 1) {
    text.resize(capacity - 1);
  }
  return text;
}

platform::BoxResult Process::UiFacility::MessageBox(platform::WindowHandle owner,
                                                    const std::string& text,
                                                    const std::string& caption,
                                                    platform::BoxStyle style) {
  return owner_.machine_.GetUser().Answer({owner_.id_, owner, text, caption, style});
}

namespace {

const std::string kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

}  // namespace

Machine::Machine()
    : registry_([this](sim::Registry& registry, const std::string& sid) {
        LayDownProfile(registry, sid);
      }) {
  files_.CreateFolders(system_.GetWindowsDirectory() + "\\system32");
  files_.CreateFolders("C:\\Program Files");
  registry_.SetString(platform::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                      "ProgramFilesDir", "C:\\Program Files");

  const std::string startMenu = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu";
  const std::pair<const char*, std::string> common[] = {
      {"Common Start Menu", startMenu},
      {"Common Programs", startMenu + "\\Programs"},
      {"Common Startup", startMenu + "\\Programs\\Startup"},
      {"Common Desktop", "C:\\Users\\Public\\Desktop"},
  };
  for (const auto& [name, folder] : common) {
    registry_.SetString(platform::kHkeyLocalMachine, kShellFolders, name, folder);
    files_.CreateFolders(folder);
  }
}

// Each user's shell folders lie in a profile of their own: C:\Users\User for the first, then
// C:\Users\User2 and so on.
void Machine::LayDownProfile(sim::Registry& registry, const std::string& sid) {
  const std::size_t number = registry.UserSids().size();
  const std::string profile =
      "C:\\Users\\User" + (number > 1 ? std::to_string(number) : std::string());
  const std::string startMenu = profile + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu";
  const std::pair<const char*, std::string> folders[] = {
      {"Start Menu", startMenu},
      {"Programs", startMenu + "\\Programs"},
      {"Startup", startMenu + "\\Programs\\Startup"},
      {"Desktop", profile + "\\Desktop"},
  };
  for (const auto& [name, folder] : folders) {
    registry.SetString(platform::kHkeyUsers, sid + "\\" + kShellFolders, name, folder);
    files_.CreateFolders(folder);
  }
}

Process& Machine::StartProcess(ProcessSpec spec) {
  processes_.push_back(std::make_unique<Process>(*this, nextProcessId_, std::move(spec)));
  nextProcessId_ += 4;  // Windows hands out process ids in steps of four
  return *processes_.back();
}

}  // namespace sim
