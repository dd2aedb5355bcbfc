// The program's command line, read once at start-up. Each switch keeps the position and letter
// case rules that administrators' scripts were written for (README.md, "Switches"); the rest of
// the program takes the values from here and never looks at the arguments itself.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The run the program performs: chosen by the command line and the program file's name.
enum class RunMode { SelfRemoval, Install, Uninstall };

// The switches only an installation looks at.
struct InstallSwitches {
  // The value of the last "-instdir" (exactly so) that has one: whether that folder exists is
  // for the installation to find out when it gets there.
  std::optional<std::string> folder = {};
  bool runAfter = false;
  bool allUsers = false;
  bool autostart = false;
  bool noDesktopIcon = false;
};

struct CommandLine {
  RunMode mode = RunMode::Uninstall;
  bool silent = false;
  bool restartCode = false;
  // A help switch, wherever it stands, even as the value of another switch.
  bool helpAsked = false;
  // The value of the first "-log" that has one, as typed (possibly empty, or itself a switch).
  std::optional<std::string> logFile = {};
  // "-outcome": the uninstaller that started this copy waits for its exit code.
  bool outcomeAwaited = false;
  // The uninstaller's path after "-delself"; empty unless `mode` is SelfRemoval.
  std::string selfRemovalPath = {};
  // "-s" or "/s" after the first argument. Only an installation asks the question.
  bool instanceQuestionSkipped = false;
  InstallSwitches install = {};
  // The arguments after the program as the log's "Command line:" line shows them: each after a
  // blank, quoted when it holds a blank or a tab.
  std::string text = {};

  // Whether the user is asked before the product's running programs are closed: a removal never
  // asks, an installation unless the question is skipped.
  bool AsksBeforeClosing() const { return mode == RunMode::Install && !instanceQuestionSkipped; }
};

// `arguments` is the runtime's argument vector (element 0 the program, never read as a switch);
// `programPath` the program file's path as ProgramFilePath gives it.
CommandLine ReadCommandLine(const std::vector<std::string>& arguments,
                            const std::string& programPath);

// An argument as a command line carries it: the runtime splits at blanks and tabs, so one that
// holds either is quoted.
std::string QuotedArgument(const std::string& argument);
