#include "app/self_removal.h"

#include "app/command_line.h"
#include "app/setup_app.h"
#include "engine/busy_mark.h"
#include "engine/format_text.h"
#include "engine/paths.h"
#include "engine/reboot_operations.h"
#include "engine/removal_helpers.h"
#include "engine/switches.h"
#include "engine/text.h"
#include "resources/catalogue.h"
#include "uninstall/uninstall_run.h"

namespace {

// The handing-over uninstaller holds its file until it has ended, which a busy machine may put
// off: its end is waited for this long at most. When it cannot be waited for (it has gone
// already, or cannot be opened), its file is tried this often instead, as long.
constexpr unsigned kHandOverLimit = 10000;
constexpr unsigned kHandOverRetry = 20;

std::string JoinedArguments(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    line += (line.empty() ? "" : " ") + argument;
  }
  return line;
}

// This program copied into the temporary folder, to run the removal from there; none when the
// copy cannot even be named. Whatever stops the run from here on, a power cut included, the
// copy goes at the next start.
std::optional<std::string> MakeTemporaryCopy(CSetupApp& app) {
  platform::Platform& platform = app.GetPlatform();
  const std::string tempFolder = platform.files.GetTempPath();
  const std::string copy = tempFolder.empty() || tempFolder.size() >= kPathCapacity
                               ? std::string()
                               : platform.files.GetTempFileName(tempFolder, "uni");
  if (copy.empty()) {
    app.Log().Write("Not done: temporary copy in \"" + tempFolder + "\"");
    return std::nullopt;
  }
  DeleteAtNextStart(platform.files, copy, app.Report());
  platform.files.CopyFile(ProgramFilePath(platform.process.ModuleFileName()), copy, false);
  return copy;
}

// What the copy is started with: its arguments for removal and tail alike, and the log's.
struct CopyCommand {
  std::string copy;
  std::string own;  // this program's file
  std::vector<std::string> arguments;
  std::vector<std::string> logArguments;
};

CopyCommand CommandOfCopy(CSetupApp& app, const std::string& copy) {
  platform::Platform& platform = app.GetPlatform();
  CopyCommand command{copy, ProgramFilePath(platform.process.ModuleFileName()), {}, {}};
  command.arguments = {QuotedArgument(copy), switches::kSelfRemoval, QuotedArgument(command.own)};
  if (app.Options().Silent) {
    command.arguments.push_back(switches::kSilent);
  }
  if (app.Log().Enabled()) {
    command.logArguments = {switches::kLog, QuotedArgument(app.Log().Path())};
  }
  return command;
}

// Runs the removal in the copy and waits for it. Deployment tools and scripts wait for this
// process: it ends with the removal's outcome.
Outcome AwaitRemovalByCopy(platform::Platform& platform, const CopyCommand& command) {
  std::vector<std::string> removal = command.arguments;
  removal.insert(removal.end(), {switches::kOutcome, switches::kRestartCode});
  removal.insert(removal.end(), command.logArguments.begin(), command.logArguments.end());
  const platform::KernelHandle copyProcess =
      platform.session.StartProcess(command.copy, JoinedArguments(removal));
  if (copyProcess == platform::kNoHandle) {
    // Nothing was removed; neither should a stray copy stay.
    platform.files.DeleteFile(command.copy);
    return Outcome::NotComplete;
  }
  platform.session.WaitForProcessEnd(copyProcess, platform::kInfinite);
  const Outcome outcome = OutcomeOfExitCode(
      platform.session.ProcessExitCode(copyProcess).value_or(exit_code::kNotComplete));
  platform.session.CloseHandle(copyProcess);
  return outcome;
}

// Starts the copy once more, silently, to take this program's file away once this process has
// ended, and with it the folder. True when it started.
bool StartRemovalTail(CSetupApp& app, const CopyCommand& command) {
  platform::Platform& platform = app.GetPlatform();
  std::vector<std::string> tail = command.arguments;
  if (!app.Options().Silent) {
    tail.push_back(switches::kSilent);
  }
  tail.insert(tail.end(), command.logArguments.begin(), command.logArguments.end());
  const platform::KernelHandle tailProcess =
      platform.session.StartProcess(command.copy, JoinedArguments(tail));
  if (tailProcess == platform::kNoHandle) {
    return false;
  }
  platform.session.CloseHandle(tailProcess);
  return true;
}

// Without a tail, this program's file and its folder go at the next start.
Outcome LeaveUninstallerToNextStart(CSetupApp& app, const CopyCommand& command) {
  platform::Platform& platform = app.GetPlatform();
  RunReport& report = app.Report();
  const std::string installFolder = FolderOf(platform.system, command.own);
  for (const std::string& path : {command.own, installFolder.substr(0, installFolder.size() - 1)}) {
    DeleteAtNextStart(platform.files, path, report);
  }
  return report.Complete() ? Outcome::CompleteAfterRestart : Outcome::NotComplete;
}

// The box at the end of an interactive removal.
void ShowRemovalOutcome(CSetupApp& app, Outcome outcome) {
  if (outcome != Outcome::NotComplete) {
    app.MessageBox(catalogue::kUninstalled, {platform::Buttons::Ok});
    return;
  }
  const RunReport& report = app.Report();
  const int left = report.Count(Shortfall::Removal) + report.Count(Shortfall::Shortcut) +
                   report.Count(Shortfall::RegistryValue);
  std::string text = FormatText(app.LoadString(catalogue::kNotRemovedCompletely), {left});
  text += "\n\n";
  text += report.LogPath().empty()
              ? app.LoadString(catalogue::kRunAgainWithLog)
              : FormatText(app.LoadString(catalogue::kLogNamesFailures), {report.LogPath()});
  app.MessageBox(text, {platform::Buttons::Ok});
}

}  // namespace

Outcome HandOverToTempCopy(CSetupApp& app) {
  platform::Platform& platform = app.GetPlatform();
  // Until the removal has ended another setup must not close this one, nor install meanwhile.
  const BusySetup busy(platform.session);
  const std::optional<std::string> copy = MakeTemporaryCopy(app);
  if (!copy) {
    return Outcome::NotComplete;
  }
  const CopyCommand command = CommandOfCopy(app, *copy);
  const Outcome outcome = AwaitRemovalByCopy(platform, command);
  // A removal that did not finish keeps its uninstaller, so that the entry can run it again.
  if (outcome == Outcome::NotComplete || outcome == Outcome::Cancelled) {
    return outcome;
  }
  return StartRemovalTail(app, command) ? outcome : LeaveUninstallerToNextStart(app, command);
}

void SelfRemovalRun(CSetupApp& app, const std::string& uninstallerPath) {
  platform::Platform& platform = app.GetPlatform();
  const platform::RunLog& log = app.Log();
  RunReport& report = app.Report();
  const std::string installFolder = FolderOf(platform.system, uninstallerPath);

  const bool awaited = app.Command().outcomeAwaited;
  if (awaited) {
    log.Write("Run: removal");
    // The uninstaller waits for this run, holding its own file: the copy it starts next takes
    // that file away once it has ended.
    report.Spare(uninstallerPath);
  } else {
    log.Write("Run: removal tail");
    unsigned waited = 0;
    const platform::KernelHandle uninstaller =
        platform.session.OpenParentProcess(platform::kSynchronize);
    if (uninstaller != platform::kNoHandle) {
      if (!platform.session.WaitForProcessEnd(uninstaller, kHandOverLimit)) {
        waited = kHandOverLimit;
      }
      platform.session.CloseHandle(uninstaller);
    }
    DeleteAtReboot(platform.files, ProgramFilePath(platform.process.ModuleFileName()));
    for (; !DeleteFileNow(platform.files, uninstallerPath) &&
           PathExists(platform.files, uninstallerPath) && waited < kHandOverLimit;
         waited += kHandOverRetry) {
      platform.process.Sleep(kHandOverRetry);
    }
    if (PathExists(platform.files, uninstallerPath)) {
      DeleteAtNextStart(platform.files, uninstallerPath, report);
    }
  }
  RunUninstall(platform, installFolder, report);

  const Outcome outcome = OutcomeOf(report);
  if (!app.Options().Silent) {
    ShowRemovalOutcome(app, outcome);
  }
  // Nobody receives the tail's exit code, and the log's last Outcome line stays the one that
  // the uninstaller returned.
  platform.process.ExitProcess(awaited ? app.Conclude(outcome) : ExitCodeOf(outcome, false));
}
