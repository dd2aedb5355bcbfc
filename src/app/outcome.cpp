#include "app/outcome.h"

#include "engine/format_text.h"

Outcome OutcomeOf(const RunReport& report) {
  if (!report.Complete()) {
    return Outcome::NotComplete;
  }
  return report.NeedsRestart() ? Outcome::CompleteAfterRestart : Outcome::Complete;
}

unsigned ExitCodeOf(Outcome outcome, bool restartCode) {
  switch (outcome) {
    case Outcome::Complete:
      return exit_code::kComplete;
    case Outcome::CompleteAfterRestart:
      return restartCode ? exit_code::kRestartNeeded : exit_code::kComplete;
    case Outcome::NotComplete:
      return exit_code::kNotComplete;
    case Outcome::Cancelled:
      return exit_code::kCancelled;
    case Outcome::DamagedDistribution:
      return exit_code::kDamagedDistribution;
    case Outcome::AnotherSetupRunning:
      return exit_code::kAnotherSetupRunning;
  }
  return exit_code::kNotComplete;
}

Outcome OutcomeOfExitCode(unsigned code) {
  switch (code) {
    case exit_code::kComplete:
      return Outcome::Complete;
    case exit_code::kRestartNeeded:
      return Outcome::CompleteAfterRestart;
    case exit_code::kCancelled:
      return Outcome::Cancelled;
    default:
      return Outcome::NotComplete;
  }
}

std::string OutcomeLine(Outcome outcome, unsigned exitCode) {
  const char* words = "";
  switch (outcome) {
    case Outcome::Complete:
      words = "complete";
      break;
    case Outcome::CompleteAfterRestart:
      words = "complete after a restart";
      break;
    case Outcome::NotComplete:
      words = "not complete";
      break;
    case Outcome::Cancelled:
      words = "cancelled";
      break;
    case Outcome::DamagedDistribution:
      words = "damaged distribution";
      break;
    case Outcome::AnotherSetupRunning:
      words = "another setup is running";
      break;
  }
  return FormatText("Outcome: %s, exit code %d", {words, static_cast<int>(exitCode)});
}
