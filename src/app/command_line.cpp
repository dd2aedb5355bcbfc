#include "app/command_line.h"

#include <algorithm>
#include <cstddef>

#include "engine/switches.h"
#include "engine/text.h"

namespace {

using Arguments = std::vector<std::string>;

// `name` as a whole argument at position `from` or later, letter case ignored.
bool HasSwitchFrom(const Arguments& arguments, std::size_t from, const char* name) {
  for (std::size_t i = from; i < arguments.size(); ++i) {
    if (EqualsIgnoringCase(arguments[i], name)) {
      return true;
    }
  }
  return false;
}

bool HasSwitch(const Arguments& arguments, const char* name) {
  return HasSwitchFrom(arguments, 1, name);
}

// The argument after the first `name` (letter case ignored) that is not the last argument.
std::optional<std::string> FirstValueOf(const Arguments& arguments, const char* name) {
  for (std::size_t i = 1; i + 1 < arguments.size(); ++i) {
    if (EqualsIgnoringCase(arguments[i], name)) {
      return arguments[i + 1];
    }
  }
  return std::nullopt;
}

// The argument after the last `name`, spelled exactly so, that is not the last argument. The
// value is not skipped: it may itself be `name` with a value of its own.
std::optional<std::string> LastExactValueOf(const Arguments& arguments, const char* name) {
  std::optional<std::string> value;
  for (std::size_t i = 1; i + 1 < arguments.size(); ++i) {
    if (arguments[i] == name) {
      value = arguments[i + 1];
    }
  }
  return value;
}

bool AsksForHelp(const Arguments& arguments) {
  return std::any_of(switches::kHelp.begin(), switches::kHelp.end(),
                     [&arguments](const char* name) { return HasSwitch(arguments, name); });
}

RunMode ModeOf(const Arguments& arguments, const std::string& programPath) {
  // "-delself" is written by the uninstaller itself, always exactly so, and always with a path.
  if (arguments.size() >= 3 && arguments[1] == switches::kSelfRemoval) {
    return RunMode::SelfRemoval;
  }
  if (arguments.size() >= 2 && EqualsIgnoringCase(arguments[1], switches::kInstall)) {
    return RunMode::Install;
  }
  // Any "setup.exe" in the path counts, folders and longer names (mysetup.exe) included.
  return LowerCase(programPath).find("setup.exe") != std::string::npos ? RunMode::Install
                                                                       : RunMode::Uninstall;
}

std::string LogText(const Arguments& arguments) {
  std::string text;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    text += ' ' + QuotedArgument(arguments[i]);
  }
  return text;
}

}  // namespace

CommandLine ReadCommandLine(const Arguments& arguments, const std::string& programPath) {
  CommandLine line;
  line.mode = ModeOf(arguments, programPath);
  line.silent = HasSwitch(arguments, switches::kSilent);
  line.restartCode = HasSwitch(arguments, switches::kRestartCode);
  line.helpAsked = AsksForHelp(arguments);
  line.logFile = FirstValueOf(arguments, switches::kLog);
  line.outcomeAwaited = HasSwitch(arguments, switches::kOutcome);
  if (line.mode == RunMode::SelfRemoval) {
    line.selfRemovalPath = arguments[2];
  }
  // The first argument is left out: "setup.exe -s" is asked, "setup.exe -install -s" is not.
  line.instanceQuestionSkipped = HasSwitchFrom(arguments, 2, switches::kSilent) ||
                                 HasSwitchFrom(arguments, 2, switches::kNoInstanceQuestion);

  InstallSwitches& install = line.install;
  install.folder = LastExactValueOf(arguments, switches::kInstallFolder);
  install.runAfter = HasSwitch(arguments, switches::kRunAfter);
  install.allUsers = HasSwitch(arguments, switches::kAllUsers);
  install.autostart = HasSwitch(arguments, switches::kAutostart);
  install.noDesktopIcon = HasSwitch(arguments, switches::kNoDesktopIcon);

  line.text = LogText(arguments);
  return line;
}

std::string QuotedArgument(const std::string& argument) {
  return argument.find_first_of(" \t") == std::string::npos ? argument : "\"" + argument + "\"";
}
