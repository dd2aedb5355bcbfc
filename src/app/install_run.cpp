#include "app/install_run.h"

#include "app/existing_installation.h"
#include "app/setup_app.h"
#include "engine/distribution.h"
#include "engine/format_text.h"
#include "engine/paths.h"
#include "engine/perform_install.h"
#include "engine/switches.h"
#include "engine/text.h"
#include "resources/catalogue.h"
#include "wizard/setup_dlg.h"

namespace {

constexpr char kUrlLine[] = "URL=http://";
constexpr std::size_t kUrlLineBuffer = 260;

// The choices the installation runs with, for the log.
void LogOptions(const platform::RunLog& log, const SetupOptions& options) {
  const auto yesNo = [](bool flag) { return flag ? "yes" : "no"; };
  const FileVersion& version = options.NewVersion;
  log.Write(FormatText(
      "Options: folder \"%s\", source \"%s\", group \"%s\", all users %s, desktop %s, "
      "autostart %s, silent %s, new %s, version %d.%d.%d.%d",
      {options.InstallFolder, options.SourceFolder, options.GroupName, yesNo(options.AllUsers),
       yesNo(options.DesktopIcon), yesNo(options.Autostart), yesNo(options.Silent),
       yesNo(options.NewInstall), version.major, version.minor, version.build, version.revision}));
}

// The setup runs elevated; the browser and the product must not. The desktop's shell starts
// them with the rights of the user it belongs to. Only where no desktop shell answers (a
// service's session) does the setup start them itself, with its own rights.
void OpenAsDesktopUser(platform::Shell& shell, const std::string& address) {
  if (!shell.OpenFromDesktop(address, {})) {
    shell.Open(address);
  }
}

// The vendor's page for this installation, opened in the browser.
void OpenVendorPage(platform::Platform& platform, const SetupOptions& options) {
  const std::string query =
      HomePageQuery(platform.files, options.InstallFolder + "\\" + distribution::kHomePageShortcut);
  OpenAsDesktopUser(platform.shell, VendorPageAddress(options.NewInstall, query));
}

// The folder of the installation found on the machine, else the default one for a new
// installation; the distribution is this program's own folder.
void ChooseInstallFolder(CSetupApp& app, SetupOptions& options) {
  platform::Platform& platform = app.GetPlatform();
  const platform::RunLog& log = app.Log();
  options.InstallFolder = FindExistingInstallation(platform);
  options.SourceFolder = OwnFolder(platform);
  if (options.InstallFolder.empty()) {
    log.Write("Existing installation: none");
    options.InstallFolder =
        DefaultProgramFilesFolder(platform) + "\\" + distribution::kProductFolder;
    options.NewInstall = true;
  } else {
    log.Write("Existing installation: \"" + options.InstallFolder + "\"");
  }
}

// The version to install, and for an existing installation the choices it was made with; false
// when the user refuses to replace the installed version.
bool SettleVersions(CSetupApp& app, SetupOptions& options) {
  platform::Platform& platform = app.GetPlatform();
  if (!options.NewInstall) {
    if (CheckExistingVersion(app, options) == VersionCheck::Refuse) {
      return false;
    }
    RecoverPreviousChoices(platform, options);
  } else {
    options.NewVersion =
        ReadFileVersion(platform, options.SourceFolder + "\\" + distribution::kProductProgram);
  }
  return true;
}

// Ends the process with code 1 when the distribution lacks its manifest or a versioned product.
void EndIfDistributionIsDamaged(CSetupApp& app, const SetupOptions& options) {
  platform::Platform& platform = app.GetPlatform();
  if (options.NewVersion.major != 0 &&
      PathExists(platform.files, options.SourceFolder + "\\" + distribution::kManifest)) {
    return;
  }
  app.Log().Write("Not done: distribution \"" + options.SourceFolder + "\" lacks " +
                  distribution::kManifest + " or a versioned " + distribution::kProductProgram);
  // A silent run has nobody to read a box or a web page: its exit code and log tell.
  if (!options.Silent) {
    app.MessageBox(catalogue::kDamagedSetup, {platform::Buttons::Ok, platform::Icon::Error});
    OpenAsDesktopUser(platform.shell, vendor::kSite);
  }
  platform.process.ExitProcess(app.Conclude(Outcome::DamagedDistribution));
}

// The installation itself, at once when silent, else from the wizard's last page; false when
// the user left the wizard.
bool RunInstallation(CSetupApp& app, SetupOptions& options) {
  const platform::RunLog& log = app.Log();
  RunReport& report = app.Report();
  if (options.Silent) {
    if (options.NewInstall) {
      options.AllUsers = true;
    }
    LogOptions(log, options);
    PerformInstall(app, options, app.Wow64(), report);
    return true;
  }
  CSetupDlg wizard(app, options, [&](DeploymentProgress& progress) -> const RunReport& {
    LogOptions(log, options);
    PerformInstall(app, options, app.Wow64(), report, &progress);
    return report;
  });
  const int result = wizard.DoModal();
  app.SetMainWindow(platform::kNoWindow);
  return result == platform::kIdOk;
}

// After an installation that succeeded: the vendor's page for an interactive new installation or
// upgrade, and the product when "-runafter" asks for it.
void WelcomeInstallation(platform::Platform& platform, const SetupOptions& options) {
  if (!options.Silent && (options.NewInstall || options.Upgrade)) {
    OpenVendorPage(platform, options);
  }
  if (options.RunAfter) {
    // The path is the application name as well: unquoted as the command line is, it would
    // start a "C:\Program Files (x86)\Pictavo.exe" that someone put there.
    const std::string product = options.InstallFolder + "\\" + distribution::kProductProgram;
    if (!platform.shell.OpenFromDesktop(product, options.InstallFolder)) {
      platform.process.CreateProcess(product, product, options.InstallFolder);
    }
  }
}

}  // namespace

void ApplyInstallSwitches(platform::Platform& platform, const InstallSwitches& asked,
                          SetupOptions& options) {
  if (asked.folder && PathExists(platform.files, *asked.folder)) {
    std::string folder = *asked.folder;
    if (EndsWithCharacter(platform.system, folder, kSeparators)) {
      folder.pop_back();
    }
    if (!folder.empty()) {
      options.InstallFolder = folder;
    }
  }
  if (asked.runAfter) {
    options.RunAfter = true;
  }
  if (asked.allUsers) {
    options.AllUsers = true;
  }
  if (asked.autostart) {
    options.Autostart = true;
  }
  if (asked.noDesktopIcon) {
    options.DesktopIcon = false;
  }
}

std::string HomePageQuery(platform::FileSystem& files, const std::string& path) {
  std::unique_ptr<platform::TextFile> file = files.OpenTextFile(path);
  if (!file) {
    return {};
  }
  while (std::optional<std::string> line = file->ReadLine(kUrlLineBuffer)) {
    if (line->rfind(kUrlLine, 0) != 0) {
      continue;
    }
    if (!line->empty() && line->back() == '\n') {
      line->pop_back();
    }
    const std::size_t question = line->find('?');
    return question == std::string::npos ? std::string() : line->substr(question);
  }
  return {};
}

std::string VendorPageAddress(bool newInstall, const std::string& query) {
  if (newInstall && !query.empty()) {
    return std::string(vendor::kSite) + vendor::kInstallScriptPage + query;
  }
  return std::string(vendor::kSite) + vendor::kInstalledPage;
}

Outcome InstallRun(CSetupApp& app) {
  platform::Platform& platform = app.GetPlatform();
  SetupOptions& options = app.Options();

  ChooseInstallFolder(app, options);
  ApplyInstallSwitches(platform, app.Command().install, options);
  options.GroupName = distribution::kProductFolder;
  if (!SettleVersions(app, options)) {
    return Outcome::Cancelled;
  }
  EndIfDistributionIsDamaged(app, options);
  if (!RunInstallation(app, options)) {
    return Outcome::Cancelled;
  }
  const Outcome outcome = OutcomeOf(app.Report());

  platform.files.SetCurrentDirectory(options.InstallFolder);
  // An installation that failed has no page to welcome it and may have no product to start.
  if (outcome != Outcome::NotComplete) {
    WelcomeInstallation(platform, options);
  }
  return outcome;
}
