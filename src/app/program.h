// The program in one process: the help its command line asks for, or else one run with its
// process-wide objects, created at start-up in their order, then the one entry, then the normal
// end.
#pragma once

#include <memory>
#include <optional>

#include "app/command_line.h"
#include "app/setup_app.h"
#include "engine/setup_options.h"
#include "engine/wow64_query.h"
#include "instances/instance_manager.h"
#include "platform/platform.h"
#include "platform/recording.h"
#include "platform/run_log.h"

class SetupRun {
 public:
  // `commandLine` must outlive the run.
  SetupRun(platform::Platform& platform, const CommandLine& commandLine);

  // Runs InitInstance and the normal end; returns the process's exit code: 1 without the
  // instance list's locks, before anything is changed.
  int Run();

  const SetupOptions& Options() const { return options_; }

 private:
  // With "-log", every call goes through the recording layer, which writes the failed ones to
  // the log; without it the program talks to the platform directly and writes nothing.
  platform::RunLog log_;
  std::unique_ptr<platform::RecordingPlatform> recording_;
  platform::Platform& platform_;
  // Members are created in start-up order: the process joins the instance list first, then the
  // 64-bit query is looked up and the options get their initial values before the application
  // object exists. The list is left last, after the application object has gone.
  COXInstanceManager instances_;
  Wow64Query wow64_;
  SetupOptions options_;
  CSetupApp app_;
};

class SetupProgram {
 public:
  // Reads the command line, and creates the run's objects unless it asks for help: then the
  // process must neither join the instance list nor open a log.
  explicit SetupProgram(platform::Platform& platform);

  // The help box, or the run; the process's exit code.
  int Run();

  // The run's options as it left them; the initial ones when only the help was shown.
  const SetupOptions& Options() const { return run_ ? run_->Options() : initialOptions_; }

 private:
  platform::Platform& platform_;
  // Read here alone, and kept for the whole process: every part of the run takes its switches
  // from this.
  const CommandLine commandLine_;
  std::optional<SetupRun> run_;
  SetupOptions initialOptions_;
};
