#include "app/program.h"

#include "app/command_line.h"
#include "app/outcome.h"
#include "engine/paths.h"
#include "resources/catalogue.h"

namespace {

// The log the command line asks for, its name made full now: the run changes its current
// folder later.
platform::RunLog LogFor(platform::Platform& platform, const CommandLine& commandLine) {
  const std::optional<std::string>& name = commandLine.logFile;
  if (!name || name->empty()) {
    return {};
  }
  const std::string full = platform.files.GetFullPathName(*name);
  return platform::RunLog(platform.files, full.empty() ? *name : full);
}

}  // namespace

SetupRun::SetupRun(platform::Platform& platform, const CommandLine& commandLine)
    : log_(LogFor(platform, commandLine)),
      recording_(log_.Enabled() ? std::make_unique<platform::RecordingPlatform>(platform, log_)
                                : nullptr),
      platform_(recording_ ? recording_->Get() : platform),
      instances_(platform_),
      wow64_(platform_.system),
      app_(platform_, commandLine, options_, wow64_, instances_, log_) {}

int SetupRun::Run() {
  if (log_.Enabled()) {
    log_.Write("Pictavo Setup log: " + platform_.process.ModuleFileName());
    log_.Write("Command line:" + app_.Command().text);
  }
  if (!instances_.HasLocks()) {
    log_.Write("Not done: join the instance list");
    return 1;
  }
  // Whatever InitInstance returns, no window stays open: the program ends here.
  app_.InitInstance();
  return static_cast<int>(app_.ExitCode());
}

SetupProgram::SetupProgram(platform::Platform& platform)
    : platform_(platform),
      commandLine_(ReadCommandLine(platform.process.Arguments(),
                                   ProgramFilePath(platform.process.ModuleFileName()))) {
  if (!commandLine_.helpAsked) {
    run_.emplace(platform, commandLine_);
  }
}

int SetupProgram::Run() {
  if (run_) {
    return run_->Run();
  }
  // A silent run promises no box, and a deployment tool would wait for ever on one nobody can
  // see: there the help shows nothing. Either way nothing is installed, removed or logged, and
  // the run ends with 0, as a look at the switches is no failure.
  if (!commandLine_.silent) {
    platform::UserInterface& ui = platform_.ui;
    ui.MessageBox(platform::kNoWindow, ui.LoadString(catalogue::kSwitchHelp),
                  ui.LoadString(catalogue::kSetupCaption, catalogue::kCaptionCapacity),
                  {platform::Buttons::Ok, platform::Icon::Information});
  }
  return static_cast<int>(exit_code::kComplete);
}
