// The application object: the program's one entry decides the run and hands over to it.
#pragma once

#include "app/command_line.h"
#include "app/outcome.h"
#include "engine/run_report.h"
#include "engine/setup_options.h"
#include "engine/wow64_query.h"
#include "framework/framework.h"
#include "instances/instance_manager.h"
#include "platform/run_log.h"

class CSetupApp : public framework::Application {
 public:
  CSetupApp(platform::Platform& platform, const CommandLine& commandLine, SetupOptions& options,
            const Wow64Query& wow64, COXInstanceManager& instances, const platform::RunLog& log)
      : Application(platform),
        commandLine_(commandLine),
        options_(options),
        wow64_(wow64),
        instances_(instances),
        log_(log),
        report_(log) {}

  bool InitInstance() override;

  // The command line as the program read it at start-up.
  const CommandLine& Command() const { return commandLine_; }
  SetupOptions& Options() { return options_; }
  const Wow64Query& Wow64() const { return wow64_; }
  const platform::RunLog& Log() const { return log_; }
  // What the run's steps did not achieve.
  RunReport& Report() { return report_; }

  // The run ends with `outcome`: its last log line is written and its exit code settled, which
  // is returned for the runs that end the process themselves.
  unsigned Conclude(Outcome outcome);
  unsigned ExitCode() const { return exitCode_; }

 private:
  const CommandLine& commandLine_;
  SetupOptions& options_;
  const Wow64Query& wow64_;
  COXInstanceManager& instances_;
  const platform::RunLog& log_;
  RunReport report_;
  unsigned exitCode_ = exit_code::kComplete;
};
