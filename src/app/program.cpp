#include "app/program.h"

#include "app/outcome.h"
#include "app/run_mode.h"
#include "engine/switches.h"
#include "resources/catalogue.h"

namespace {

// The log the command line asks for, its name made full now: the run changes its current
// folder later.
platform::RunLog LogFor(platform::Platform& platform) {
  const std::optional<std::string> name = SwitchValue(platform.process.Arguments(), switches::kLog);
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

SetupRun::SetupRun(platform::Platform& platform)
    : log_(LogFor(platform)),
      recording_(log_.Enabled() ? std::make_unique<platform::RecordingPlatform>(platform, log_)
                                : nullptr),
      platform_(recording_ ? recording_->Get() : platform),
      instances_(platform_),
      wow64_(platform_.system),
      app_(platform_, options_, wow64_, instances_, log_) {}

int SetupRun::Run() {
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

SetupProgram::SetupProgram(platform::Platform& platform) : platform_(platform) {
  if (!AsksForHelp(platform.process.Arguments())) {
    run_.emplace(platform);
  }
}

int SetupProgram::Run() {
  if (run_) {
    return run_->Run();
  }
  // A silent run promises no box, and a deployment tool would wait for ever on one nobody can
  // see: there the help shows nothing. Either way nothing is installed, removed or logged, and
  // the run ends with 0, as a look at the switches is no failure.
  if (!HasSilentSwitch(platform_.process.Arguments())) {
    platform::UserInterface& ui = platform_.ui;
    ui.MessageBox(platform::kNoWindow, ui.LoadString(catalogue::kSwitchHelp),
                  ui.LoadString(catalogue::kSetupCaption, catalogue::kCaptionCapacity),
                  {platform::Buttons::Ok, platform::Icon::Information});
  }
  return static_cast<int>(exit_code::kComplete);
}
