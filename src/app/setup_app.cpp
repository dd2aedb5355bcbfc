#include "app/setup_app.h"

#include "app/install_run.h"
#include "app/self_removal.h"
#include "instances/close_instances.h"
#include "resources/catalogue.h"

unsigned CSetupApp::Conclude(Outcome outcome) {
  exitCode_ = ExitCodeOf(outcome, commandLine_.restartCode);
  log_.Write(OutcomeLine(outcome, exitCode_));
  return exitCode_;
}

bool CSetupApp::InitInstance() {
  platform::Platform& platform = GetPlatform();
  options_.Silent = commandLine_.silent;

  const RunMode mode = commandLine_.mode;
  if (mode == RunMode::SelfRemoval) {
    SelfRemovalRun(*this, commandLine_.selfRemovalPath);
  }
  log_.Write(mode == RunMode::Install ? "Run: install" : "Run: uninstall");

  if (mode == RunMode::Uninstall && !options_.Silent) {
    // The framework takes every resource from the program file's own module already, so only
    // the caption of the start-up box is left to load. Only here: a silent removal that loads
    // no text never needs the window manager's library.
    const std::string caption =
        platform.ui.LoadString(catalogue::kSetupCaption, catalogue::kCaptionCapacity);
    const std::string question =
        platform.ui.LoadString(catalogue::kRemovalQuestion, catalogue::kMessageCapacity);
    const platform::BoxStyle style{platform::Buttons::YesNo, platform::Icon::Warning,
                                   platform::DefaultButton::Second};
    if (platform.ui.MessageBox(platform::kNoWindow, question, caption, style) !=
        platform::BoxResult::Yes) {
      Conclude(Outcome::Cancelled);
      return false;
    }
  }

  switch (CloseRunningInstances(*this, instances_, commandLine_.AsksBeforeClosing())) {
    case CloseResult::Continue:
      break;
    case CloseResult::End:
      Conclude(Outcome::Cancelled);
      return false;
    case CloseResult::Busy:
      log_.Write("Not done: another setup is installing or removing Pictavo 6");
      if (!options_.Silent) {
        platform.ui.MessageBox(
            platform::kNoWindow, platform.ui.LoadString(catalogue::kAnotherSetupRunning),
            platform.ui.LoadString(catalogue::kSetupCaption, catalogue::kCaptionCapacity),
            {platform::Buttons::Ok, platform::Icon::Information});
      }
      Conclude(Outcome::AnotherSetupRunning);
      return false;
  }
  const Outcome outcome = mode == RunMode::Install ? InstallRun(*this) : HandOverToTempCopy(*this);
  Conclude(outcome);
  return outcome == Outcome::Complete || outcome == Outcome::CompleteAfterRestart;
}
