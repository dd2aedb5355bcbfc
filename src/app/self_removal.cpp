#include "app/self_removal.h"

#include "app/run_mode.h"
#include "app/setup_app.h"
#include "engine/format_text.h"
#include "engine/paths.h"
#include "engine/reboot_operations.h"
#include "engine/switches.h"
#include "engine/text.h"
#include "instances/close_instances.h"
#include "resources/catalogue.h"
#include "uninstall/removal_helpers.h"
#include "uninstall/uninstall_run.h"

namespace {

constexpr std::size_t kPathCapacity = 260;
// The handing-over uninstaller holds its file until it has ended, which a busy machine may put
// off: its end is waited for this long at most. When it cannot be waited for (it has gone
// already, or cannot be opened), its file is tried this often instead, as long.
constexpr unsigned kHandOverLimit = 10000;
constexpr unsigned kHandOverRetry = 20;

// The runtime joins the arguments with blanks, so a path with a blank or a tab is quoted.
std::string QuotedIfNeeded(const std::string& path) {
  return path.find_first_of(" \t") == std::string::npos ? path : "\"" + path + "\"";
}

// The drive and folder of a path, with the separator behind: C:\Program Files\Pictavo 6\ for
// C:\Program Files\Pictavo 6\PictvUnInst.exe.
std::string FolderOf(platform::System& system, const std::string& path) {
  const std::size_t lastSeparator = FindLastCharacter(system, path, kSeparators);
  if (lastSeparator != std::string::npos) {
    return path.substr(0, lastSeparator + 1);
  }
  return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : std::string();
}

std::string JoinedArguments(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    line += (line.empty() ? "" : " ") + argument;
  }
  return line;
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
  const platform::RunLog& log = app.Log();
  const std::string tempFolder = platform.files.GetTempPath();
  const std::string copy = tempFolder.empty() || tempFolder.size() >= kPathCapacity
                               ? std::string()
                               : platform.files.GetTempFileName(tempFolder, "uni");
  if (copy.empty()) {
    log.Write("Not done: temporary copy in \"" + tempFolder + "\"");
    return Outcome::NotComplete;
  }
  // Whatever stops this run from here on, a power cut included, the copy goes at the next start.
  RunReport& report = app.Report();
  DeleteAtNextStart(platform.files, copy, report);
  const std::string own = ProgramFilePath(platform.process.ModuleFileName());
  platform.files.CopyFile(own, copy, false);

  std::vector<std::string> arguments = {QuotedIfNeeded(copy), switches::kSelfRemoval,
                                        QuotedIfNeeded(own)};
  if (app.Options().Silent) {
    arguments.push_back(switches::kSilent);
  }
  std::vector<std::string> logArguments;
  if (log.Enabled()) {
    logArguments = {switches::kLog, QuotedIfNeeded(log.Path())};
  }
  std::vector<std::string> removal = arguments;
  removal.insert(removal.end(), {switches::kOutcome, switches::kRestartCode});
  removal.insert(removal.end(), logArguments.begin(), logArguments.end());
  const platform::KernelHandle copyProcess =
      platform.session.StartProcess(copy, JoinedArguments(removal));
  if (copyProcess == platform::kNoHandle) {
    // Nothing was removed; neither should a stray copy stay.
    platform.files.DeleteFile(copy);
    return Outcome::NotComplete;
  }
  // Deployment tools and scripts wait for this process: it ends with the removal's outcome.
  platform.session.WaitForProcessEnd(copyProcess, platform::kInfinite);
  const Outcome outcome = OutcomeOfExitCode(
      platform.session.ProcessExitCode(copyProcess).value_or(exit_code::kNotComplete));
  platform.session.CloseHandle(copyProcess);

  const std::string installFolder = FolderOf(platform.system, own);
  // A removal that did not finish keeps its uninstaller, so that the entry can run it again.
  if (outcome == Outcome::NotComplete || outcome == Outcome::Cancelled) {
    return outcome;
  }
  // This program's file goes once this process has ended, and with it the folder.
  std::vector<std::string> tail = arguments;
  if (!app.Options().Silent) {
    tail.push_back(switches::kSilent);
  }
  tail.insert(tail.end(), logArguments.begin(), logArguments.end());
  const platform::KernelHandle tailProcess =
      platform.session.StartProcess(copy, JoinedArguments(tail));
  if (tailProcess != platform::kNoHandle) {
    platform.session.CloseHandle(tailProcess);
    return outcome;
  }
  for (const std::string& path : {own, installFolder.substr(0, installFolder.size() - 1)}) {
    DeleteAtNextStart(platform.files, path, report);
  }
  return report.Complete() ? Outcome::CompleteAfterRestart : Outcome::NotComplete;
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
