// How a run ends, and what it tells about it: the exit code administrators' tools read, and the
// last line of the run's log. One place turns an outcome into both.
#pragma once

#include <string>

#include "engine/run_report.h"

enum class Outcome {
  Complete,
  CompleteAfterRestart,  // files in use are replaced or deleted at the next system start
  NotComplete,           // something the run had to do failed
  Cancelled,             // the user cancelled, or said No to a question
  DamagedDistribution,
  AnotherSetupRunning,  // another setup was installing or removing the product: nothing done
};

namespace exit_code {

inline constexpr unsigned kComplete = 0;
inline constexpr unsigned kDamagedDistribution = 1;
inline constexpr unsigned kCancelled = 1602;            // ERROR_INSTALL_USEREXIT
inline constexpr unsigned kNotComplete = 1603;          // ERROR_INSTALL_FAILURE
inline constexpr unsigned kAnotherSetupRunning = 1618;  // ERROR_INSTALL_ALREADY_RUNNING
inline constexpr unsigned kRestartNeeded = 3010;        // ERROR_SUCCESS_REBOOT_REQUIRED

}  // namespace exit_code

// Complete after a restart only when nothing failed and something waits for the next start.
Outcome OutcomeOf(const RunReport& report);

// Complete after a restart ends with 3010 only for callers who asked for it ("-restartcode"):
// those who did not have always seen 0 there.
unsigned ExitCodeOf(Outcome outcome, bool restartCode);

// The outcome of a run that ended with `code` when it was asked for the restart code: any code
// but the three of a finished removal means it did not finish.
Outcome OutcomeOfExitCode(unsigned code);

// "Outcome: not complete, exit code 1603".
std::string OutcomeLine(Outcome outcome, unsigned exitCode);
