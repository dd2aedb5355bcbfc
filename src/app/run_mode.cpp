#include "app/run_mode.h"

#include <algorithm>
#include <cstddef>

#include "engine/switches.h"
#include "engine/text.h"

bool HasSwitch(const std::vector<std::string>& arguments, const char* name) {
  return std::any_of(
      arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end(),
      [name](const std::string& argument) { return EqualsIgnoringCase(argument, name); });
}

std::optional<std::string> SwitchValue(const std::vector<std::string>& arguments,
                                       const char* name) {
  for (std::size_t i = 1; i + 1 < arguments.size(); ++i) {
    if (EqualsIgnoringCase(arguments[i], name)) {
      return arguments[i + 1];
    }
  }
  return std::nullopt;
}

bool HasSilentSwitch(const std::vector<std::string>& arguments) {
  return HasSwitch(arguments, switches::kSilent);
}

bool AsksForHelp(const std::vector<std::string>& arguments) {
  return std::any_of(switches::kHelp.begin(), switches::kHelp.end(),
                     [&arguments](const char* name) { return HasSwitch(arguments, name); });
}

RunMode ChooseRunMode(const std::vector<std::string>& arguments, const std::string& programPath) {
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
