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
