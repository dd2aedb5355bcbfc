// Honest outcomes from end to end: what a run reports (its exit code and the log that -log
// asks for) agrees with what it left on the machine. An installation that cannot put its files
// in place, into a read-only folder or onto a full disk, registers nothing and says so; a damaged
// distribution in a silent run ends at once without asking anyone; a removal that meets a file
// held by another program finishes at the next start and says that too.

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <memory>
#include <regex>
#include <set>
#include <thread>

#include "product_test.h"
#include "registry_keys.h"

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;

// The codes every run ends with, as the Windows Installer numbers them.
constexpr int kComplete = 0;
constexpr int kDamaged = 1;
constexpr int kNotComplete = 1603;
constexpr int kCompleteAfterRestart = 3010;
constexpr int kAnotherSetupRunning = 1618;

constexpr int kOk = 1;
constexpr char kHttpCommandKey[] = R"(HKEY_CLASSES_ROOT\http\shell\open\command)";
// Mount points of the drives a test adds; a drive link into one of them is a leftover of an
// earlier run that was killed before it could clean up.
constexpr char kDriveRootPrefix[] = "/tmp/e2e-drive-";

// The files of the sample distribution as the installation lays them down, readme.txt aside.
const std::vector<std::string> kProductFiles = {"Pictv6.exe",
                                                "Pictv6Man.chm",
                                                "HomePage.url",
                                                "PictvUnInst.log",
                                                "Samples/harbour.pvs",
                                                "Samples/meadow.pvs",
                                                "Samples/About the samples.txt"};

// An argument as cmd passes it on: quoted when it holds a blank or is empty.
std::string CmdArgument(const std::string& argument) {
  return argument.empty() || argument.find_first_of(" ()&") != std::string::npos
             ? "\"" + argument + "\""
             : argument;
}

// A log as the program writes it: lines ended by CR LF.
struct Log {
  bool exists = false;
  std::string text;
  std::vector<std::string> lines;
  int bareLineFeeds = 0;  // line ends without their CR

  std::string Last() const { return lines.empty() ? std::string() : lines.back(); }
  std::vector<std::string> Starting(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& line : lines) {
      if (line.rfind(prefix, 0) == 0) {
        found.push_back(line);
      }
    }
    return found;
  }
  bool Has(const std::string& wanted) const {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
      return AsciiLower(line) == AsciiLower(wanted);
    });
  }
  bool Matches(const std::regex& pattern) const {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return std::regex_match(line, pattern); });
  }
};

Log ReadLog(const fs::path& path) {
  Log log;
  log.exists = fs::is_regular_file(path);
  log.text = ReadAll(path);
  std::size_t start = 0;
  for (std::size_t end = log.text.find('\n'); end != std::string::npos;
       start = end + 1, end = log.text.find('\n', start)) {
    std::size_t length = end - start;
    if (length > 0 && log.text[end - 1] == '\r') {
      --length;
    } else {
      ++log.bareLineFeeds;
    }
    log.lines.push_back(log.text.substr(start, length));
  }
  if (start < log.text.size()) {
    log.lines.push_back(log.text.substr(start));  // an unfinished last line
  }
  return log;
}

// Waits until `done` holds, up to `timeout`; whether it did.
template <typename Condition>
bool Eventually(Condition done, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!done()) {
    if (Clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

std::vector<std::string> RegularFilesUnder(const fs::path& root) {
  std::vector<std::string> files;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_regular_file()) {
      files.push_back(it->path().lexically_relative(root).generic_string());
    }
  }
  return files;
}

// A drive of the prefix backed by a tmpfs of its own.
struct Drive {
  char letter = '?';  // as Windows writes it, upper case
  fs::path root;
  fs::path link;  // Wine names its drive links in lower case
  bool mounted = false;

  std::string Apps() const { return std::string(1, letter) + ":\\Apps"; }
};

class OutcomesTest : public ProductTest {
 protected:
  void TearDown() override {
    setup_.reset();
    if (recorderSet_) {
      EXPECT_TRUE(ImportRegistry(
          "Windows Registry Editor Version 5.00\n\n[" + std::string(kHttpCommandKey) +
          "]\n@=" + (httpBefore_ ? RegQuoted(*httpBefore_) : std::string("-")) + "\n"))
          << "our stand-in browser stays registered";
    }
    ProductTest::TearDown();
    for (const Drive& drive : drives_) {
      std::error_code error;
      if (fs::is_symlink(drive.link)) {
        fs::remove(drive.link, error);
      }
      if (drive.mounted && RunHost({"umount", drive.root.string()}).exitCode != 0) {
        // A process of the run may still have it open; the mount must not outlive the test.
        EXPECT_EQ(RunHost({"umount", "-l", drive.root.string()}).exitCode, 0)
            << drive.root << " stays mounted";
      }
      fs::remove(drive.root, error);  // empty once unmounted
    }
  }

  // A program run to its end through a batch file: cmd waits for it, even for a GUI program,
  // and prints its full exit code, where the host sees only the low 8 bits of wine's own.
  // nullopt when it did not end in time.
  std::optional<int> RunToEnd(const std::string& program, const std::vector<std::string>& args,
                              const fs::path& workingFolder,
                              std::chrono::milliseconds timeout = 60s) {
    const fs::path batch = folder() / "run.cmd";
    std::string line = "\"" + program + "\"";
    for (const std::string& arg : args) {
      line += " " + CmdArgument(arg);
    }
    WriteAll(batch, "@echo off\r\ncd /d \"" + WindowsPath(workingFolder) + "\"\r\n" + line +
                        "\r\necho exit code %ERRORLEVEL%\r\nexit /b 0\r\n");
    const Output output = RunWindows({"cmd", "/c", WindowsPath(batch)}, timeout);
    fs::remove(batch);
    const std::size_t found = output.out.rfind("exit code ");
    if (output.exitCode != 0 || found == std::string::npos) {
      ADD_FAILURE() << program
                    << (output.exitCode == -1
                            ? " did not end within " + std::to_string(timeout.count()) + " ms"
                            : " gave no exit code through cmd")
                    << "\n"
                    << output.out << output.err;
      return std::nullopt;
    }
    return std::stoi(output.out.substr(found + 10));
  }

  std::string SetupWin() const { return WindowsPath(dist_ / "setup.exe"); }
  std::string UninstallerWin() const { return installWin_ + "\\PictvUnInst.exe"; }

  void InstallSilently() {
    const std::optional<int> code = RunToEnd(SetupWin(), {"-s"}, folder());
    ASSERT_EQ(code, kComplete) << "the silent installation failed";
    ASSERT_TRUE(fs::exists(install_ / "PictvUnInst.exe")) << "nothing was installed";
    ASSERT_TRUE(KeyInView(kUninstallKey)) << "the installation registered nothing";
  }

  // A tmpfs of `size` bytes with an empty folder Apps, as drive `letter` of the prefix.
  void AddDrive(char letter, std::size_t size, bool readOnly) {
    Drive& drive = drives_.emplace_back();
    drive.letter = letter;
    drive.link = bench().prefix / "dosdevices" /
                 (std::string(1, static_cast<char>(std::tolower(letter))) + ":");
    std::string root = std::string(kDriveRootPrefix) + letter + "-XXXXXX";
    ASSERT_NE(mkdtemp(root.data()), nullptr) << "no mount point";
    drive.root = root;
    if (fs::is_symlink(drive.link)) {
      const std::string target = fs::read_symlink(drive.link).string();
      ASSERT_EQ(target.rfind(kDriveRootPrefix, 0), 0u)
          << "drive " << letter << ": of the prefix is taken (" << target << ")";
      fs::remove(drive.link);
    }
    ASSERT_FALSE(fs::exists(drive.link)) << drive.link;
    ASSERT_EQ(getuid(), 0u) << "mounting the test drive needs root";
    const Output mounted = RunHost({"mount", "-t", "tmpfs", "-o",
                                    "size=" + std::to_string(size) + ",mode=0755", "tmpfs", root});
    ASSERT_EQ(mounted.exitCode, 0) << "cannot mount a tmpfs: " << mounted.err;
    drive.mounted = true;
    ASSERT_TRUE(fs::create_directory(drive.root / "Apps"));
    if (readOnly) {
      // Read-only as a mount, since root writes through any file mode.
      const Output remounted = RunHost({"mount", "-o", "remount,ro", root});
      ASSERT_EQ(remounted.exitCode, 0) << "cannot remount read-only: " << remounted.err;
      ASSERT_NE(access((drive.root / "Apps").c_str(), W_OK), 0) << "the drive stays writable";
    }
    fs::create_directory_symlink(drive.root, drive.link);
    const UiResult seen = Uiauto({"shortpath", drive.Apps()});
    ASSERT_EQ(seen.exitCode, 0) << "Wine does not see " << drive.Apps() << "\n" << seen.err;
  }

  void ExpectNothingRegistered() {
    for (const char* key : {kVendorKey, kAppPathKey, kUninstallKey}) {
      EXPECT_FALSE(KeyInView(key)) << key << " was written";
    }
  }

  void ExpectNoShortcuts() {
    for (const fs::path& path : {group_, desktopLink_, userGroup_, userDesktopLink_}) {
      EXPECT_FALSE(fs::exists(path)) << path << " was made";
    }
  }

  // The installation into <drive>:\Apps that cannot be completed: its code, its log, and a
  // machine without any trace of it outside that folder.
  Log ExpectInstallationNotComplete(const Drive& drive) {
    const fs::path logFile = folder() / "install.log";
    const std::string apps = drive.Apps();
    const std::optional<int> code =
        RunToEnd(SetupWin(), {"-s", "-instdir", apps, "-log", WindowsPath(logFile)}, folder());
    EXPECT_EQ(code, kNotComplete);
    ExpectNothingRegistered();
    ExpectNoShortcuts();
    // A run that falls back on the default folder instead would install where nobody asked.
    EXPECT_FALSE(fs::exists(install_)) << "the default product folder was made";

    const Log log = ReadLog(logFile);
    EXPECT_TRUE(log.exists) << "no log at " << logFile;
    EXPECT_EQ(log.Last(), "Outcome: not complete, exit code 1603") << log.text;
    EXPECT_EQ(log.Starting("Outcome:").size(), 1u) << log.text;
    EXPECT_EQ(log.bareLineFeeds, 0) << log.text;
    return log;
  }

  std::vector<Drive> drives_;
  bool recorderSet_ = false;
  std::optional<std::string> httpBefore_;
  std::unique_ptr<WindowsProcess> setup_;
};

TEST_F(OutcomesTest, ReadOnlyInstallFolderEndsNotCompleteWithoutRegistrationOrShortcuts) {
  ASSERT_NO_FATAL_FAILURE(AddDrive('R', 1 << 20, true));
  const Log log = ExpectInstallationNotComplete(drives_.back());
  // Any failing call may come first, but the copy into the folder cannot succeed, and the
  // reason Windows gave is part of the line.
  EXPECT_TRUE(log.Matches(std::regex(
      R"(Failed: CopyFileA ".+" -> "R:\\Apps\\[^"]+": error [1-9][0-9]*)", std::regex::icase)))
      << log.text;
}

TEST_F(OutcomesTest, FullDiskRemovesTheNewFilesAgainAndEndsNotComplete) {
  // Room for the product program, the first file of the manifest, and a few pages more, but
  // not for the uninstaller, the setup program's copy that follows it.
  constexpr std::size_t kPage = 4096;
  const std::size_t program = fs::file_size(dist_ / "Pictv6.exe");
  const std::size_t setup = fs::file_size(dist_ / "setup.exe");
  const std::size_t size = (program + kPage - 1) / kPage * kPage + 4 * kPage;
  ASSERT_LT(size, program + setup) << "the uninstaller would fit";
  std::cout << "drive F: holds " << size / 1024 << " KB; Pictv6.exe is " << program
            << " bytes, setup.exe " << setup << " bytes\n";
  ASSERT_NO_FATAL_FAILURE(AddDrive('F', size, false));

  const Log log = ExpectInstallationNotComplete(drives_.back());
  EXPECT_TRUE(log.Matches(
      std::regex(R"(Failed: CopyFileA ".+" -> "F:\\Apps\\[^"]+": error 112)", std::regex::icase)))
      << log.text;
  const fs::path root = drives_.back().root;
  EXPECT_FALSE(fs::exists(root / "Apps" / "PictvUnInst.exe")) << "a cut-off uninstaller stays";
  EXPECT_EQ(RegularFilesUnder(root), std::vector<std::string>{})
      << "the new installation's files stay on the full disk";
  // The folder was there before the run: it is the user's, not the installation's.
  EXPECT_TRUE(fs::is_directory(root / "Apps")) << "the chosen folder itself was removed";
}

TEST_F(OutcomesTest, DamagedDistributionInASilentRunEndsAtOnceWithCodeOneAndShowsNothing) {
  const fs::path recorder = bench().setupExe.parent_path() / "urlrecorder.exe";
  ASSERT_TRUE(fs::exists(recorder)) << recorder << " is missing: build the win32 preset";
  const fs::path opened = folder() / "opened.txt";
  httpBefore_ = RegValue(kHttpCommandKey, "");
  recorderSet_ = true;
  ASSERT_TRUE(ImportRegistry("Windows Registry Editor Version 5.00\n\n[" +
                             std::string(kHttpCommandKey) + "]\n@=" +
                             RegQuoted(RegQuoted(WindowsPath(recorder)) + " " +
                                       RegQuoted(WindowsPath(opened)) + " \"%1\"") +
                             "\n"));
  ASSERT_NE(RegValue(kHttpCommandKey, ""), httpBefore_) << "the stand-in browser is not in place";

  const fs::path damaged = folder() / "damaged";
  fs::copy(dist_, damaged, fs::copy_options::recursive);
  fs::remove(damaged / "PictvUnInst.log");
  const fs::path logFile = folder() / "damaged.log";
  const std::string program = WindowsPath(damaged / "setup.exe");
  setup_ = std::make_unique<WindowsProcess>(
      program, std::vector<std::string>{"-s", "-log", WindowsPath(logFile)}, damaged);
  ASSERT_TRUE(setup_->started());

  // Nobody answers anything: the run has to end by itself, with no window on the way.
  std::set<std::string> shown;
  std::vector<UiRecord> windows;
  const auto started = Clock::now();
  std::optional<int> code;
  while (!(code = setup_->WaitForExit(0ms)) && Clock::now() - started < 8s) {
    windows = OfKind(Uiauto({"list", "--image", program, "--visible"}).records, "window");
    for (const UiRecord& window : windows) {
      shown.insert(window.Get("class") + " \"" + window.Get("title") + "\"");
    }
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_TRUE(shown.empty()) << "windows appeared: " << ::testing::PrintToString(shown);
  if (!code) {
    std::string texts;
    for (const UiRecord& window : windows) {
      const UiResult box = Uiauto({"describe", "--hwnd", window.Get("hwnd")});
      for (const UiRecord& message : OfKind(box.records, "message")) {
        texts += "\n  " + message.Get("text");
      }
    }
    ADD_FAILURE() << "the silent run still waits after 8 s, showing:" << texts;
    // Answered, so that the rest of the run shows what else it does.
    for (const UiRecord& window : windows) {
      Uiauto({"press", "--hwnd", window.Get("hwnd"), "--id", std::to_string(kOk), "--wait-close",
              "5000"});
    }
    code = setup_->WaitForExit(20s);
  }
  EXPECT_EQ(code, kDamaged);

  // The shell starts the browser on its own; it gets the time it takes to record an address.
  Eventually([&] { return fs::exists(opened); }, 3s);
  EXPECT_FALSE(fs::exists(opened)) << "an address was opened: " << ReadAll(opened);
  ExpectNothingRegistered();
  ExpectNoShortcuts();
  EXPECT_FALSE(fs::exists(install_)) << "a product folder was made";
  const Log log = ReadLog(logFile);
  EXPECT_TRUE(log.exists) << "no log at " << logFile;
  EXPECT_EQ(log.Last(), "Outcome: damaged distribution, exit code 1") << log.text;
}

TEST_F(OutcomesTest, SilentInstallationAppendsItsStepsToARelativeLogAndEndsComplete) {
  // Started in a folder of its own, with "-Log" before "-s": the name is taken from the
  // folder the run starts in, not from the distribution's or the product's, and an earlier
  // run's lines stay.
  const fs::path here = folder() / "logs";
  fs::create_directory(here);
  const std::string earlier = "An earlier run's last line\r\n";
  WriteAll(here / "install.log", earlier);
  const std::optional<int> code = RunToEnd(SetupWin(), {"-Log", "install.log", "-s"}, here);
  EXPECT_EQ(code, kComplete);
  EXPECT_TRUE(fs::exists(install_ / "PictvUnInst.exe")) << "nothing was installed";
  EXPECT_TRUE(KeyInView(kUninstallKey)) << "no uninstall entry";
  EXPECT_FALSE(fs::exists(install_ / "install.log")) << "the log went to the product folder";
  EXPECT_FALSE(fs::exists(dist_ / "install.log")) << "the log went to the distribution";

  const Log log = ReadLog(here / "install.log");
  ASSERT_GT(log.lines.size(), 1u) << "nothing was logged:\n" << log.text;
  EXPECT_EQ(log.text.substr(0, earlier.size()), earlier) << "the earlier lines were replaced";
  EXPECT_EQ(log.bareLineFeeds, 0) << log.text;
  EXPECT_EQ(log.text.substr(log.text.size() - 2), "\r\n") << "the last line is unfinished";
  EXPECT_EQ(AsciiLower(log.lines[1]), AsciiLower("Pictavo Setup log: " + SetupWin())) << log.text;
  const std::vector<std::string> commandLines = log.Starting("Command line:");
  ASSERT_EQ(commandLines.size(), 1u) << log.text;
  EXPECT_NE(commandLines[0].find("install.log"), std::string::npos) << commandLines[0];
  EXPECT_EQ(log.Starting("Run: install").size(), 1u) << log.text;
  EXPECT_EQ(log.Starting("Existing installation: none").size(), 1u) << log.text;
  EXPECT_FALSE(log.Starting("Step: ").empty()) << log.text;
  EXPECT_TRUE(log.Starting("Failed:").empty()) << log.text;
  EXPECT_EQ(log.Starting("Outcome:").size(), 1u) << log.text;
  EXPECT_EQ(log.Last(), "Outcome: complete, exit code 0") << log.text;
}

TEST_F(OutcomesTest, RemovalMeetingAHeldFileFinishesItAtTheNextStart) {
  // With -restartcode the restart shows in the code; without it the run is simply complete.
  // Switches in any letter case and position.
  struct Case {
    std::vector<std::string> switches;
    int code;
    std::string outcome;
  };
  const std::vector<Case> cases = {
      {{"-s", "-RestartCode"},
       kCompleteAfterRestart,
       "Outcome: complete after a restart, exit code 3010"},
      {{"-s"}, kComplete, "Outcome: complete after a restart, exit code 0"},
  };
  const std::string readmeWin = installWin_ + "\\readme.txt";
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& row = cases[i];
    SCOPED_TRACE("uninstaller switches: " + testing::PrintToString(row.switches));
    ASSERT_NO_FATAL_FAILURE(InstallSilently());
    std::unique_ptr<WindowsProcess> hold = HoldFile(readmeWin, 120000, folder());
    ASSERT_TRUE(hold) << "readme.txt is not held";

    const fs::path logFile = folder() / ("removal" + std::to_string(i) + ".log");
    std::vector<std::string> args = row.switches;
    args.insert(args.begin() + 1, {"-LOG", WindowsPath(logFile)});
    const std::optional<int> code = RunToEnd(UninstallerWin(), args, folder());
    EXPECT_EQ(code, row.code);

    // Right when it returns: everything but the held file and the uninstaller's own is gone.
    for (const std::string& file : kProductFiles) {
      EXPECT_FALSE(fs::exists(install_ / file)) << file << " stays";
    }
    EXPECT_FALSE(fs::exists(install_ / "Samples")) << "the Samples folder stays";
    EXPECT_TRUE(fs::exists(install_ / "readme.txt")) << "the held file went after all";
    ExpectNothingRegistered();
    ExpectNoShortcuts();
    const std::string pending =
        AsciiLower(RegValue(kSessionManager, "PendingFileRenameOperations").value_or(""));
    EXPECT_NE(pending.find(AsciiLower(readmeWin)), std::string::npos)
        << "readme.txt does not wait for the next start: " << pending;

    const Log log = ReadLog(logFile);
    EXPECT_TRUE(log.exists) << "no log at " << logFile;
    EXPECT_TRUE(log.Has("At next start: delete \"" + readmeWin + "\"")) << log.text;
    // The copy's outcome, then the uninstaller's; the tail that follows them adds none.
    const std::vector<std::string> outcomes = log.Starting("Outcome:");
    ASSERT_EQ(outcomes.size(), 2u) << log.text;
    EXPECT_EQ(outcomes.back(), row.outcome) << log.text;
    EXPECT_EQ(log.bareLineFeeds, 0) << log.text;

    // The uninstaller's own file follows in a moment; the folder waits with readme.txt.
    EXPECT_TRUE(Eventually([&] { return !fs::exists(install_ / "PictvUnInst.exe"); }, 10s))
        << "PictvUnInst.exe stays";
    EXPECT_TRUE(fs::exists(install_ / "readme.txt"));

    hold.reset();
    const Output restart = RunHost({"wineboot", "-r"}, 60s);
    ASSERT_EQ(restart.exitCode, 0) << restart.err;
    EXPECT_TRUE(Eventually([&] { return !fs::exists(install_); }, 10s))
        << "after the restart the product folder stays, holding: "
        << testing::PrintToString(RegularFilesUnder(install_));

    EndStrayRuns();
    RemoveProductByHand();
  }
}

// A second setup that meets one at work must not close it as an idle instance: it ends at once
// with 1618, and the first finishes its 2,000 files as if alone.
TEST_F(OutcomesTest, SecondSetupWhileTheFirstCopiesEndsWith1618AndTheFirstCompletes) {
  constexpr int kMany = 2000;
  const fs::path big = folder() / "big";
  WriteManyFileDistribution(dist_, big, kMany);

  const fs::path firstLog = folder() / "first.log";
  setup_ = std::make_unique<WindowsProcess>(
      WindowsPath(big / "setup.exe"), std::vector<std::string>{"-s", "-log", WindowsPath(firstLog)},
      folder());
  ASSERT_TRUE(setup_->started());
  ASSERT_TRUE(Eventually([&] { return fs::exists(install_ / "Many" / "file0.dat"); }, 60s))
      << "the first setup never began to copy";

  const fs::path secondLog = folder() / "second.log";
  const std::optional<int> second = RunToEnd(
      WindowsPath(big / "setup.exe"), {"-install", "-s", "-log", WindowsPath(secondLog)}, folder());
  EXPECT_EQ(second, kAnotherSetupRunning);
  EXPECT_FALSE(setup_->WaitForExit(0ms).has_value())
      << "the first setup ended before the second did: nothing was tested";
  EXPECT_EQ(setup_->WaitForExit(120s), kComplete) << "the first setup did not complete";
  int copied = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(install_ / "Many")) {
    copied += entry.is_regular_file() ? 1 : 0;
  }
  EXPECT_EQ(copied, kMany);
  EXPECT_TRUE(KeyInView(kUninstallKey)) << "the first setup registered nothing";

  const Log log = ReadLog(secondLog);
  EXPECT_TRUE(log.Has("Not done: another setup is installing or removing Pictavo 6")) << log.text;
  EXPECT_EQ(log.Last(), "Outcome: another setup is running, exit code 1618") << log.text;
  EXPECT_EQ(ReadLog(firstLog).Last(), "Outcome: complete, exit code 0");
}

TEST_F(OutcomesTest, PlainSilentRemovalReturnsOnceTheProductIsGoneAndItsOwnFileFollows) {
  ASSERT_NO_FATAL_FAILURE(InstallSilently());
  const std::optional<int> code = RunToEnd(UninstallerWin(), {"-s"}, folder());
  const auto returned = Clock::now();
  EXPECT_EQ(code, kComplete);
  for (const char* file : {"Pictv6.exe", "readme.txt", "PictvUnInst.log"}) {
    EXPECT_FALSE(fs::exists(install_ / file)) << file << " stays when the uninstaller returns";
  }
  EXPECT_FALSE(fs::exists(group_)) << "the program group stays when the uninstaller returns";
  EXPECT_FALSE(fs::exists(desktopLink_)) << "the desktop shortcut stays";
  EXPECT_FALSE(KeyInView(kUninstallKey)) << "the uninstall entry stays";
  EXPECT_FALSE(KeyInView(kProductKey)) << "the product key stays";

  std::optional<std::chrono::milliseconds> ownFile;
  std::optional<std::chrono::milliseconds> wholeFolder;
  Eventually(
      [&] {
        const auto now =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - returned);
        if (!ownFile && !fs::exists(install_ / "PictvUnInst.exe")) {
          ownFile = now;
        }
        if (!wholeFolder && !fs::exists(install_)) {
          wholeFolder = now;
        }
        return ownFile && wholeFolder;
      },
      10s);
  std::cout << "removal tail: PictvUnInst.exe gone "
            << (ownFile ? std::to_string(ownFile->count()) + " ms" : std::string("never"))
            << " after the uninstaller returned, the folder "
            << (wholeFolder ? std::to_string(wholeFolder->count()) + " ms" : std::string("never"))
            << "\n";
  if (wholeFolder) {
    RecordProperty("removal_tail_ms", static_cast<int>(wholeFolder->count()));
  }
  EXPECT_TRUE(ownFile.has_value()) << "PictvUnInst.exe stays";
  EXPECT_TRUE(wholeFolder.has_value()) << "the product folder stays, holding: "
                                       << testing::PrintToString(RegularFilesUnder(install_));
}

}  // namespace
}  // namespace e2e
