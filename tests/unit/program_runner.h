// Runs the setup program as one process of a simulated machine, the way a user starts it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "platform/sim/machine.h"

struct ProgramRun {
  unsigned exitCode;
  SetupOptions options;  // as the process left them
};

// The program that the machine runs for the processes of this program that another one starts
// and waits for, such as the uninstaller's copy that removes the product.
inline void SetSetupProgram(sim::Machine& machine) {
  machine.Processes().SetProgram([](platform::Platform& platform) {
    SetupProgram program(platform);
    return program.Run();
  });
}

inline ProgramRun RunProgram(sim::Machine& machine, const std::string& programPath,
                             std::vector<std::string> arguments = {}) {
  SetSetupProgram(machine);
  sim::Process& process = machine.Processes().Start({programPath, std::move(arguments), {}});
  std::optional<SetupProgram> program;
  SetupOptions options;
  unsigned exitCode = process.Run([&](platform::Platform& platform) {
    program.emplace(platform);
    const int code = program->Run();
    // The normal end: the process-wide objects go while the process still runs. An
    // ExitProcess skips this, and leaves them to the test.
    options = program->Options();
    program.reset();
    return code;
  });
  return {exitCode, program ? program->Options() : options};
}

// Runs the copy that an uninstaller started last to take its file and folder away once it has
// ended, if it started one; its exit code.
inline std::optional<unsigned> RunRemovalTail(sim::Machine& machine) {
  sim::Process& tail = *machine.Processes().All().back();
  const std::vector<std::string>& arguments = tail.Spec().arguments;
  if (tail.Running() || tail.Ended() || arguments.empty() || arguments.front() != "-delself") {
    return std::nullopt;
  }
  return tail.Run([](platform::Platform& platform) {
    SetupProgram program(platform);
    return program.Run();
  });
}
