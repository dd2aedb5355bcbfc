#include "app/run_mode.h"

#include <algorithm>
#include <cstddef>

namespace {

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) {
      return false;
    }
  }
  return i == a.size() && b[i] == '\0';
}

}  // namespace

bool HasSilentSwitch(const std::vector<std::string>& arguments) {
  return std::any_of(
      arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end(),
      [](const std::string& argument) { return EqualsIgnoringCase(argument, "-s"); });
}

RunMode ChooseRunMode(const std::vector<std::string>& arguments, const std::string& programPath) {
  // "-delself" is written by the uninstaller itself, always exactly so, and always with a path.
  if (arguments.size() >= 3 && arguments[1] == "-delself") {
    return RunMode::SelfRemoval;
  }
  if (arguments.size() >= 2 && EqualsIgnoringCase(arguments[1], "-install")) {
    return RunMode::Install;
  }
  // Any "setup.exe" in the path counts, folders and longer names (mysetup.exe) included.
  std::string lowered = programPath;
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), LowerAscii);
  return lowered.find("setup.exe") != std::string::npos ? RunMode::Install : RunMode::Uninstall;
}

std::string ProgramFilePath(const std::string& moduleFileName) {
  constexpr std::size_t kPathCapacity = 260;
  return moduleFileName.substr(0, kPathCapacity - 1);
}
