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
    : machine_(machine), id_(id), spec_(std::move(spec)) {}

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

Process& Machine::StartProcess(ProcessSpec spec) {
  processes_.push_back(std::make_unique<Process>(*this, nextProcessId_, std::move(spec)));
  nextProcessId_ += 4;  // Windows hands out process ids in steps of four
  return *processes_.back();
}

}  // namespace sim
