#include "app/program.h"

#include "app/run_mode.h"

namespace {

// The log the command line asks for, its name made full now: the run changes its current
// folder later.
platform::RunLog LogFor(platform::Platform& platform) {
  const std::optional<std::string> name = SwitchValue(platform.process.Arguments(), kLogSwitch);
  if (!name || name->empty()) {
    return {};
  }
  const std::string full = platform.files.GetFullPathName(*name);
  return platform::RunLog(platform.files, full.empty() ? *name : full);
}

std::string CommandLineText(const std::vector<std::string>& arguments) {
  std::string text;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    text += ' ';
    text += argument.find_first_of(" \t") == std::string::npos ? argument : "\"" + argument + "\"";
  }
  return text;
}

}  // namespace

SetupProgram::SetupProgram(platform::Platform& platform)
    : log_(LogFor(platform)),
      recording_(log_.Enabled() ? std::make_unique<platform::RecordingPlatform>(platform, log_)
                                : nullptr),
      platform_(recording_ ? recording_->Get() : platform),
      instances_(platform_),
      wow64_(platform_.system),
      app_(platform_, options_, wow64_, instances_, log_) {}

int SetupProgram::Run() {
  if (log_.Enabled()) {
    log_.Write("Pictavo Setup log: " + platform_.process.ModuleFileName());
    log_.Write("Command line:" + CommandLineText(platform_.process.Arguments()));
  }
  if (!instances_.HasLocks()) {
    log_.Write("Not done: join the instance list");
    return 1;
  }
  // Whatever InitInstance returns, no window stays open: the program ends here.
  app_.InitInstance();
  return static_cast<int>(app_.ExitCode());
}
