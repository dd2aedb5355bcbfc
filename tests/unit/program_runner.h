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

inline ProgramRun RunProgram(sim::Machine& machine, const std::string& programPath,
                             std::vector<std::string> arguments = {}) {
  sim::Process& process = machine.StartProcess({programPath, std::move(arguments), {}});
  std::optional<SetupProgram> program;
  unsigned exitCode = process.Run([&](platform::Platform& platform) {
    program.emplace(platform);
    return program->Run();
  });
  return {exitCode, program->Options()};
}
