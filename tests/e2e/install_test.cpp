// Installation from end to end: the sample distribution that the build assembles, installed
// silently by its setup.exe, updated by a newer copy while the product runs, refused when the
// distribution is damaged (silently without a word, otherwise with a box and the vendor's home
// page), and removed again by the uninstaller the installation put in place.

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "pe_file.h"
#include "product_test.h"
#include "registry_keys.h"
#include "resources/resource_tables.h"

namespace e2e {
namespace {

constexpr char kCaption[] = "Pictavo Setup";
constexpr char kDamaged[] =
    "This setup files are damaged, installation aborted.\n\nPlease download the product again "
    "from http://www.corvantis.example and re-try the setup.";
constexpr int kOk = 1;

// What the shell's "open" of an http address runs; the tests put a recorder there.
constexpr char kHttpCommandKey[] = R"(HKEY_CLASSES_ROOT\http\shell\open\command)";
constexpr char kVendorSite[] = "http://www.corvantis.example";

// The stand-in product of the build carries 6.30.2.0; the update brings another version.
constexpr pe::FixedVersion kBuiltVersion = {pe::VersionMS(6, 30), pe::VersionLS(2, 0),
                                            pe::VersionMS(6, 30), pe::VersionLS(2, 0)};
constexpr pe::FixedVersion kUpdateVersion = {pe::VersionMS(6, 31), pe::VersionLS(4, 0),
                                             pe::VersionMS(6, 31), pe::VersionLS(4, 0)};

// The sample's payload: its name in the distribution, and in the install folder.
const std::vector<std::pair<std::string, std::string>> kPayload = {
    {"Pictv6.exe", "Pictv6.exe"},
    {"setup.exe", "PictvUnInst.exe"},
    {"Pictv6Man.chm", "Pictv6Man.chm"},
    {"readme.txt", "readme.txt"},
    {"HomePage.url", "HomePage.url"},
    {"Samples/harbour.pvs", "Samples/harbour.pvs"},
    {"Samples/meadow.pvs", "Samples/meadow.pvs"},
    {"samples.txt", "Samples/About the samples.txt"},
};

// A number as reg query prints a REG_DWORD.
RegData Dword(std::uintmax_t number) {
  std::ostringstream hex;
  hex << "0x" << std::hex << number;
  return {"REG_DWORD", hex.str()};
}

// Whether `path` is gone, or goes within `timeout`: the uninstaller returns before the removal's
// tail takes its own file and the folder away.
bool GoneWithin(const fs::path& path, std::chrono::milliseconds timeout) {
  for (auto waited = 0ms; fs::exists(path); waited += 100ms) {
    if (waited >= timeout) {
      return false;
    }
    std::this_thread::sleep_for(100ms);
  }
  return true;
}

bool KeyInView(const std::string& key, const std::string& view) {
  return RunWindows({"reg", "query", key, view}).exitCode == 0;
}

struct Shortcut {
  std::string target;
  std::string workdir;
  std::string arguments;
};

class InstallTest : public ProductTest {
 protected:
  void TearDown() override {
    product_.reset();
    setup_.reset();
    if (recorderSet_) {
      EXPECT_TRUE(ImportRegistry(
          "Windows Registry Editor Version 5.00\n\n[" + std::string(kHttpCommandKey) +
          "]\n@=" + (httpBefore_ ? RegQuoted(*httpBefore_) : std::string("-")) + "\n"))
          << "the stand-in browser stays registered";
    }
    ProductTest::TearDown();
  }

  // The setups this test starts end with their handles; only the product and the removal's
  // copies may outlive them.
  void EndStrayRuns() override {
    RunWindows({"taskkill", "/f", "/im", "Pictv6.exe"});
    RemoveTemporaryCopies(tempBefore_);
  }

  // setup.exe started in its distribution folder, as a user starts it; its exit code.
  std::optional<int> RunSetup(const fs::path& distFolder, std::vector<std::string> args,
                              std::chrono::milliseconds timeout = 60s) {
    setup_ =
        std::make_unique<WindowsProcess>(WindowsPath(distFolder / "setup.exe"), args, distFolder);
    if (!setup_->started()) {
      return std::nullopt;
    }
    return setup_->WaitForExit(timeout);
  }

  void InstallSample() {
    const std::optional<int> code = RunSetup(dist_, {"-s"});
    ASSERT_TRUE(code.has_value()) << "the silent setup did not end";
    ASSERT_EQ(*code, 0);
    ASSERT_TRUE(fs::exists(install_ / "PictvUnInst.exe")) << "nothing was installed";
  }

  // A copy of the sample distribution under the test's folder.
  fs::path CopyDistribution(const std::string& name) {
    const fs::path copy = folder() / name;
    fs::copy(dist_, copy, fs::copy_options::recursive);
    return copy;
  }

  std::optional<Shortcut> ReadShortcut(const std::string& windowsPath) {
    const UiResult result = Uiauto({"shortcut", windowsPath});
    const std::vector<UiRecord> records = OfKind(result.records, "shortcut");
    if (result.exitCode != 0 || records.size() != 1) {
      ADD_FAILURE() << windowsPath << " cannot be read as a shortcut\n" << result.err;
      return std::nullopt;
    }
    return Shortcut{records[0].Get("target"), records[0].Get("workdir"),
                    records[0].Get("arguments")};
  }

  std::string ExpectedInstalledLog(const std::string& manifest) const {
    return InstalledLog(manifest, groupWin_, desktopLinkWin_);
  }

  void ExpectShortcuts() {
    const std::vector<std::tuple<fs::path, std::string, std::string, std::string>> expected = {
        {group_ / "Pictavo 6.lnk", groupWin_ + "\\Pictavo 6.lnk", "Pictv6.exe", "%APPDATA%"},
        {group_ / "Pictavo 6 Help.lnk", groupWin_ + "\\Pictavo 6 Help.lnk", "Pictv6Man.chm", ""},
        {group_ / "Read about Pictavo 6.lnk", groupWin_ + "\\Read about Pictavo 6.lnk",
         "readme.txt", ""},
        {group_ / "Uninstall Pictavo 6.lnk", groupWin_ + "\\Uninstall Pictavo 6.lnk",
         "PictvUnInst.exe", ""},
        {desktopLink_, desktopLinkWin_, "Pictv6.exe", "%APPDATA%"},
    };
    for (const auto& [host, windows, target, workdir] : expected) {
      ASSERT_TRUE(fs::exists(host)) << host;
      const std::optional<Shortcut> link = ReadShortcut(windows);
      ASSERT_TRUE(link.has_value());
      EXPECT_EQ(AsciiLower(link->target), AsciiLower(installWin_ + "\\" + target)) << windows;
      EXPECT_EQ(link->workdir, workdir) << windows;
      EXPECT_EQ(link->arguments, "") << windows;
    }
    std::vector<std::string> inGroup;
    for (const auto& entry : fs::directory_iterator(group_)) {
      inGroup.push_back(entry.path().filename().string());
    }
    std::sort(inGroup.begin(), inGroup.end());
    EXPECT_EQ(inGroup,
              (std::vector<std::string>{"Pictavo 6 Help.lnk", "Pictavo 6.lnk",
                                        "Read about Pictavo 6.lnk", "Uninstall Pictavo 6.lnk"}));
    EXPECT_FALSE(fs::exists(userGroup_)) << "a group in the user's own menu";
    EXPECT_FALSE(fs::exists(userDesktopLink_)) << "a shortcut on the user's own desktop";
  }

  // `distFolder` gave the installed payload, whose size the entry tells.
  void ExpectRegistration(const std::string& displayVersion, const fs::path& distFolder) {
    EXPECT_EQ(RegValue(kProductKey, "AllUsers"), "B");
    EXPECT_EQ(RegValue(kProductKey, "Path"), installWin_);
    EXPECT_EQ(RegValue(kAppPathKey, ""), installWin_ + "\\Pictv6.exe");
    EXPECT_EQ(RegValue(kUninstallKey, "Contact"), "Support");
    EXPECT_EQ(RegValue(kUninstallKey, "DisplayName"), "Pictavo 6");
    EXPECT_EQ(RegValue(kUninstallKey, "DisplayVersion"), displayVersion);
    EXPECT_EQ(RegValue(kUninstallKey, "Publisher"), "Corvantis Technology LLC");
    EXPECT_EQ(RegValue(kUninstallKey, "UninstallString"),
              "\"" + installWin_ + "\\PictvUnInst.exe\"");
    EXPECT_EQ(RegValue(kUninstallKey, "URLInfoAbout"), "http://www.corvantis.example");
    EXPECT_EQ(RegValue(kUninstallKey, "QuietUninstallString"),
              "\"" + installWin_ + "\\PictvUnInst.exe\" -s");
    EXPECT_EQ(RegValue(kUninstallKey, "InstallLocation"), installWin_);
    EXPECT_EQ(RegValue(kUninstallKey, "DisplayIcon"), "\"" + installWin_ + "\\Pictv6.exe\",0");
    std::uintmax_t bytes = 0;
    for (const auto& [source, target] : kPayload) {
      bytes += fs::file_size(distFolder / source);
    }
    EXPECT_EQ(RegEntry(kUninstallKey, "EstimatedSize"), Dword((bytes + 1023) / 1024)) << bytes;
    EXPECT_EQ(RegEntry(kUninstallKey, "NoModify"), Dword(1));
    EXPECT_EQ(RegEntry(kUninstallKey, "NoRepair"), Dword(1));
    // A 32-bit program that named the 64-bit view would be invisible to its next run.
    EXPECT_FALSE(KeyInView(kProductKey, "/reg:64")) << "the product key is in the 64-bit view";
    EXPECT_FALSE(KeyInView(kUninstallKey, "/reg:64")) << "the uninstall entry is 64-bit";
  }

  void ExpectNothingInstalled() {
    EXPECT_FALSE(fs::exists(install_)) << "a product folder was made";
    EXPECT_FALSE(fs::exists(group_)) << "a program group was made";
    EXPECT_FALSE(fs::exists(desktopLink_)) << "a desktop shortcut was made";
    for (const char* key : {kVendorKey, kAppPathKey, kUninstallKey}) {
      EXPECT_FALSE(KeyInView(key, "/reg:32")) << key;
    }
  }

  // From here on the shell opens an http address with the build's recorder instead of a
  // browser; the recorder appends each address to a file of the test's own.
  void RecordOpenedAddresses() {
    const fs::path recorder = bench().setupExe.parent_path() / "urlrecorder.exe";
    ASSERT_TRUE(fs::exists(recorder)) << recorder << " is missing: build the win32 preset";
    opened_ = folder() / "opened addresses.txt";
    httpBefore_ = RegValue(kHttpCommandKey, "");
    recorderSet_ = true;
    ASSERT_TRUE(ImportRegistry("Windows Registry Editor Version 5.00\n\n[" +
                               std::string(kHttpCommandKey) + "]\n@=" +
                               RegQuoted(RegQuoted(WindowsPath(recorder)) + " " +
                                         RegQuoted(WindowsPath(opened_)) + " \"%1\"") +
                               "\n"));
    ASSERT_NE(RegValue(kHttpCommandKey, ""), httpBefore_) << "the stand-in browser is not in place";
  }

  std::vector<std::string> OpenedAddresses() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadAll(opened_));
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') {
        line.pop_back();
      }
      lines.push_back(line);
    }
    return lines;
  }

  // The titles and texts of the windows `program` shows, for a failure message.
  static std::string WindowsShownBy(const std::string& program) {
    std::string shown;
    for (const UiRecord& window :
         OfKind(Uiauto({"list", "--image", program, "--visible"}).records, "window")) {
      shown += "\n  \"" + window.Get("title") + "\"";
      for (const UiRecord& message :
           OfKind(Uiauto({"describe", "--hwnd", window.Get("hwnd")}).records, "message")) {
        shown += " " + message.Get("text");
      }
    }
    return shown;
  }

  // The one box that `program` shows, with no owner, `text`, `icon` and an OK button: its
  // window, or none after a failure.
  std::optional<std::string> ExpectOkBox(const std::string& program, const std::string& text,
                                         const std::string& icon) {
    const UiResult box = Uiauto({"describe", "--title", kCaption, "--class", "#32770", "--image",
                                 program, "--timeout", "20000"},
                                40s);
    const std::vector<UiRecord> windows = OfKind(box.records, "window");
    const std::vector<UiRecord> messages = OfKind(box.records, "message");
    const std::vector<UiRecord> icons = OfKind(box.records, "icon");
    if (box.exitCode != 0 || windows.size() != 1 || messages.size() != 1 || icons.size() != 1) {
      ADD_FAILURE() << "no message box of one text and icon appeared\n" << box.err;
      return std::nullopt;
    }
    EXPECT_EQ(windows[0].Number("owner"), 0) << "the box must have no owner window";
    EXPECT_EQ(messages[0].Get("text"), text);
    EXPECT_EQ(icons[0].Get("name"), icon);
    std::vector<std::string> buttons;
    for (const UiRecord& control : OfKind(box.records, "control")) {
      if (AsciiLower(control.Get("class")) == "button") {
        buttons.push_back(control.Get("id") + ":" + control.Get("text"));
      }
    }
    EXPECT_EQ(buttons, std::vector<std::string>{"1:OK"});
    return windows[0].Get("hwnd");
  }

  // Presses OK on the box: the setup's exit code once it has ended, none while it runs on.
  std::optional<int> AnswerOkBox(const std::string& box) {
    const UiResult pressed =
        Uiauto({"press", "--hwnd", box, "--id", std::to_string(kOk), "--wait-close", "10000"});
    EXPECT_EQ(pressed.exitCode, 0) << pressed.err;
    return setup_->WaitForExit(30s);
  }

  // A damaged distribution ends the run with code 1 before anything is installed. A silent run
  // has nobody to read a box or a web page: it ends at once and shows nothing. Started by a
  // user, the run explains itself in a box and, once that is answered, opens the vendor's home
  // page for a new download.
  void ExpectRefusedAsDamaged(const fs::path& distFolder) {
    ASSERT_NO_FATAL_FAILURE(RecordOpenedAddresses());
    const std::string program = WindowsPath(distFolder / "setup.exe");
    setup_ = std::make_unique<WindowsProcess>(program, std::vector<std::string>{"-s"}, distFolder);
    ASSERT_TRUE(setup_->started());
    // A box would hold the run until someone answered it: a run that ends by itself showed none.
    std::optional<int> code = setup_->WaitForExit(20s);
    ASSERT_TRUE(code.has_value()) << "the silent run still waits, showing:"
                                  << WindowsShownBy(program);
    EXPECT_EQ(*code, 1);
    ExpectNothingInstalled();
    // The shell starts the browser on its own; it gets the time it takes to record an address.
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(OpenedAddresses(), std::vector<std::string>{}) << "the silent run opened a page";

    setup_ = std::make_unique<WindowsProcess>(program, std::vector<std::string>{}, distFolder);
    ASSERT_TRUE(setup_->started());
    const std::optional<std::string> box = ExpectOkBox(program, kDamaged, "error");
    ASSERT_TRUE(box.has_value());
    // Until the box is answered, the run has not gone any further.
    ExpectNothingInstalled();
    EXPECT_EQ(OpenedAddresses(), std::vector<std::string>{}) << "a page opened before the answer";
    code = AnswerOkBox(*box);
    ASSERT_TRUE(code.has_value()) << "the setup still runs after the box was answered";
    EXPECT_EQ(*code, 1);
    ExpectNothingInstalled();
    // Recorded once, and only by this run: a page the silent run opened late would show too.
    std::vector<std::string> opened;
    for (int attempt = 0; attempt < 100 && opened.empty(); ++attempt) {
      std::this_thread::sleep_for(100ms);
      opened = OpenedAddresses();
    }
    EXPECT_EQ(opened, std::vector<std::string>{kVendorSite});
  }

  std::unique_ptr<WindowsProcess> setup_;
  std::unique_ptr<WindowsProcess> product_;
  fs::path opened_;
  bool recorderSet_ = false;
  std::optional<std::string> httpBefore_;
};

TEST_F(InstallTest, SilentFirstInstallationLaysDownFilesLogShortcutsAndRegistration) {
  ASSERT_NO_FATAL_FAILURE(InstallSample());

  // Every payload file, under its own name or the rename form's, inside the sub-folder that
  // the manifest makes first; the agreement stays in the distribution.
  for (const auto& [source, target] : kPayload) {
    ASSERT_TRUE(fs::exists(install_ / target)) << target << " is missing";
    EXPECT_EQ(ReadAll(install_ / target), ReadAll(dist_ / source)) << target;
  }
  std::vector<std::string> installed;
  for (const auto& entry : fs::recursive_directory_iterator(install_)) {
    if (entry.is_regular_file()) {
      installed.push_back(fs::relative(entry.path(), install_).generic_string());
    }
  }
  std::sort(installed.begin(), installed.end());
  EXPECT_EQ(installed, (std::vector<std::string>{
                           "HomePage.url", "Pictv6.exe", "Pictv6Man.chm", "PictvUnInst.exe",
                           "PictvUnInst.log", "Samples/About the samples.txt",
                           "Samples/harbour.pvs", "Samples/meadow.pvs", "readme.txt"}));

  EXPECT_EQ(ReadAll(install_ / "PictvUnInst.log"),
            ExpectedInstalledLog(ReadAll(dist_ / "PictvUnInst.log")));
  ASSERT_NO_FATAL_FAILURE(ExpectShortcuts());

  std::string distExe = ReadAll(dist_ / "Pictv6.exe");
  ASSERT_EQ(pe::ReadFixedVersions(distExe), std::vector<pe::FixedVersion>{kBuiltVersion})
      << "the stand-in product of the build has another version";
  ExpectRegistration("6.30.02", dist_);
  EXPECT_FALSE(RegValue(kSessionManager, "PendingFileRenameOperations").has_value() &&
               !pendingBefore_)
      << "a first installation waits for a restart";
}

TEST_F(InstallTest, SilentUpdateDeletesObsoleteFilesAndReplacesTheRunningProgramAtTheNextStart) {
  ASSERT_NO_FATAL_FAILURE(InstallSample());
  const std::string oldProgram = ReadAll(install_ / "Pictv6.exe");
  WriteAll(install_ / "Pictv6Legacy.dat", "left by an earlier version");
  WriteAll(install_ / "notes.txt", "the user's own file");

  const fs::path update = CopyDistribution("update");
  std::string program = ReadAll(update / "Pictv6.exe");
  ASSERT_EQ(pe::SetFixedVersion(program, kUpdateVersion), 1);
  ASSERT_TRUE(pe::WriteFile((update / "Pictv6.exe").string(), program));
  ASSERT_NE(program, oldProgram);
  const std::string manifest =
      "File Del: Pictv6Legacy.dat\r\n" + ReadAll(dist_ / "PictvUnInst.log");
  WriteAll(update / "PictvUnInst.log", manifest);

  // The product runs from the install folder, so its program file is in use. It keeps out of
  // the instance list, as a program the setup cannot know of: the setup leaves it running.
  product_ = std::make_unique<WindowsProcess>(installWin_ + "\\Pictv6.exe",
                                              std::vector<std::string>{"--unlisted"}, install_);
  ASSERT_TRUE(product_->started());
  const UiResult running = Uiauto(
      {"wait", "--title", "Pictavo 6", "--class", "Pictavo6Main", "--timeout", "20000"}, 40s);
  ASSERT_EQ(running.exitCode, 0) << "the product's window did not appear\n" << running.err;

  const std::optional<int> code = RunSetup(update, {"-s"});
  ASSERT_TRUE(code.has_value()) << "the silent update did not end";
  // Complete, or complete after the restart below: without -restartcode both end with 0.
  EXPECT_EQ(*code, 0);

  EXPECT_FALSE(fs::exists(install_ / "Pictv6Legacy.dat")) << "the obsolete file stays";
  EXPECT_TRUE(fs::exists(install_ / "notes.txt")) << "a file the manifest does not name went";
  EXPECT_EQ(ReadAll(install_ / "readme.txt"), ReadAll(update / "readme.txt"));
  EXPECT_EQ(ReadAll(install_ / "PictvUnInst.log"), ExpectedInstalledLog(manifest));
  ASSERT_NO_FATAL_FAILURE(ExpectShortcuts());
  ExpectRegistration("6.31.04", update);
  EXPECT_FALSE(product_->WaitForExit(0ms).has_value()) << "the update ended the product";

  // Neither program may be lost while the old one runs: the old one set aside as .old (to be
  // deleted at the start) with the new one in place, or the new one waiting as .new.
  const std::string setAside = ReadAll(install_ / "Pictv6.exe.old");
  const std::string waiting = ReadAll(install_ / "Pictv6.exe.new");
  const std::string inPlace = ReadAll(install_ / "Pictv6.exe");
  EXPECT_TRUE((inPlace == program && setAside == oldProgram) ||
              (inPlace == oldProgram && waiting == program))
      << "before the restart the folder holds neither form of a replacement in progress";
  ASSERT_TRUE(RegValue(kSessionManager, "PendingFileRenameOperations").has_value())
      << "nothing waits for the next start";
  // The machine shuts down: the product ends, and the next start completes the replacement.
  const UiResult closed =
      Uiauto({"close", "--title", "Pictavo 6", "--class", "Pictavo6Main", "--wait-close", "10000"});
  ASSERT_EQ(closed.exitCode, 0) << closed.err;
  ASSERT_TRUE(product_->WaitForExit(15s).has_value()) << "the product did not end";
  const Output restart = RunHost({"wineboot", "-r"}, 60s);
  ASSERT_EQ(restart.exitCode, 0) << restart.err;

  const std::string now = ReadAll(install_ / "Pictv6.exe");
  EXPECT_EQ(pe::ReadFixedVersions(now), std::vector<pe::FixedVersion>{kUpdateVersion})
      << "the installed program is not the new one after the restart";
  EXPECT_EQ(now, program);
  for (const char* side : {"Pictv6.exe.old", "Pictv6.exe.old2", "Pictv6.exe.new"}) {
    EXPECT_FALSE(fs::exists(install_ / side)) << side << " survives the restart";
  }
}

TEST_F(InstallTest, DistributionWithoutManifestIsRefusedWithMessageAndExitCodeOne) {
  const fs::path damaged = CopyDistribution("damaged");
  fs::remove(damaged / "PictvUnInst.log");
  ASSERT_NO_FATAL_FAILURE(ExpectRefusedAsDamaged(damaged));
}

TEST_F(InstallTest, ProductWithoutVersionIsRefusedLikeAMissingManifest) {
  const fs::path damaged = CopyDistribution("unversioned");
  std::string program = ReadAll(damaged / "Pictv6.exe");
  ASSERT_EQ(pe::SetFixedVersion(program,
                                pe::FixedVersion{pe::VersionMS(0, 30), 0, pe::VersionMS(0, 30), 0}),
            1);
  ASSERT_TRUE(pe::WriteFile((damaged / "Pictv6.exe").string(), program));
  ASSERT_NO_FATAL_FAILURE(ExpectRefusedAsDamaged(damaged));
}

TEST_F(InstallTest, HelpSwitchShowsTheSwitchesInOneBoxAndEndsWithZeroHavingDoneNothing) {
  // Started in its distribution folder, where it would otherwise install.
  const std::string program = WindowsPath(dist_ / "setup.exe");
  const FolderState distBefore = SnapshotFolder(dist_);
  setup_ =
      std::make_unique<WindowsProcess>(program, std::vector<std::string>{"-allusers", "/?"}, dist_);
  ASSERT_TRUE(setup_->started());
  const resources::StringEntry* help = resources::FindString(220);
  ASSERT_NE(help, nullptr);
  const std::optional<std::string> box =
      ExpectOkBox(program, Windows1252ToUtf8(help->text), "information");
  ASSERT_TRUE(box.has_value());
  ExpectNothingInstalled();

  const std::optional<int> code = AnswerOkBox(*box);
  ASSERT_TRUE(code.has_value()) << "the setup still runs after the help box was closed";
  EXPECT_EQ(*code, 0);
  ExpectNothingInstalled();
  EXPECT_EQ(SnapshotFolder(dist_), distBefore);
}

TEST_F(InstallTest, SilentRemovalAfterTheInstallationLeavesNothingOfTheProduct) {
  ASSERT_NO_FATAL_FAILURE(InstallSample());
  setup_ = std::make_unique<WindowsProcess>(installWin_ + "\\PictvUnInst.exe",
                                            std::vector<std::string>{"-s"}, install_);
  ASSERT_TRUE(setup_->started());
  // The uninstaller waits for the removal, which its temporary copy does, and ends with its
  // outcome.
  const std::optional<int> removed = setup_->WaitForExit(30s);
  ASSERT_TRUE(removed.has_value()) << "the silent uninstaller waits for something";
  EXPECT_EQ(*removed, 0);

  const std::vector<std::string> copies =
      NewNames(FilesMatching(TempFolder(), "uni*.tmp"), tempBefore_);
  ASSERT_EQ(copies.size(), 1u) << "not one temporary copy in the temp folder";
  const std::string copy = copies[0];
  // Started once more, the copy takes the uninstaller's file and the folder away once the
  // uninstaller has ended, and ends by itself when it shows nothing.
  bool ended = false;
  for (int attempt = 0; attempt < 200 && !ended; ++attempt) {
    ended = OfKind(Uiauto({"procs", "--image", copy}).records, "process").empty();
    if (!ended) {
      std::this_thread::sleep_for(100ms);
    }
  }
  ASSERT_TRUE(ended) << "the temporary copy still runs";
  EXPECT_TRUE(OfKind(Uiauto({"list", "--title", kCaption}).records, "window").empty())
      << "a box of the program is showing";

  ExpectNothingInstalled();
  EXPECT_FALSE(fs::exists(group_ / "Pictavo 6.lnk"));
  EXPECT_TRUE(fs::is_directory(group_.parent_path())) << "the Programs folder itself went";

  const Output restart = RunHost({"wineboot", "-r"}, 60s);
  ASSERT_EQ(restart.exitCode, 0) << restart.err;
  bool gone = false;
  for (int attempt = 0; attempt < 100 && !gone; ++attempt) {
    gone = !fs::exists(TempFolder() / copy);
    if (!gone) {
      std::this_thread::sleep_for(100ms);
    }
  }
  EXPECT_TRUE(gone) << copy << " survives the restart";
}

TEST_F(InstallTest, QuietUninstallStringAsWrittenRemovesTheProductWithNoWindow) {
  ASSERT_NO_FATAL_FAILURE(InstallSample());
  const std::optional<std::string> quiet = RegValue(kUninstallKey, "QuietUninstallString");
  ASSERT_TRUE(quiet.has_value());
  // A batch file's line is a command line as written, quotes and all; cmd waits for the
  // program and passes its exit code on.
  const fs::path batch = folder() / "quiet.cmd";
  WriteAll(batch, "@echo off\r\n" + *quiet + "\r\nexit /b %errorlevel%\r\n");
  setup_ = std::make_unique<WindowsProcess>(
      "cmd", std::vector<std::string>{"/c", WindowsPath(batch)}, folder());
  ASSERT_TRUE(setup_->started());
  // A window or box would hold the command until someone answered it.
  const std::optional<int> code = setup_->WaitForExit(60s);
  ASSERT_TRUE(code.has_value()) << "the quiet command still waits, showing:"
                                << WindowsShownBy("PictvUnInst.exe");
  EXPECT_EQ(*code, 0);
  EXPECT_TRUE(OfKind(Uiauto({"list", "--title", kCaption}).records, "window").empty())
      << "a box of the program is showing";
  EXPECT_FALSE(KeyInView(kUninstallKey, "/reg:32")) << "the entry stays";
  EXPECT_TRUE(GoneWithin(install_, 15s)) << "the product folder stays behind";
  ExpectNothingInstalled();
}

// Sets an environment variable for the programs started while it lives.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() { unsetenv(name_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
};

// The distribution as a CD brings it: read-only files, a manifest that begins with a folder
// record and ends in Ctrl-Z. Beside the product folder lies a planted "Pictavo.exe", where an
// unquoted start of the product would find it. Then the installed uninstaller is started
// through the short name of its folder, and the removal's hand-over meets an uninstaller file
// held open for a while.
TEST_F(InstallTest, ReadOnlyMediaPlantedProgramShortNamesAndAHeldUninstaller) {
  const fs::path cd = CopyDistribution("cd");
  const std::string manifest = ReadAll(cd / "PictvUnInst.log");
  WriteAll(cd / "PictvUnInst.log", "Make Dir: Extras\r\n" + manifest + "\x1A");
  for (const auto& entry : fs::recursive_directory_iterator(cd)) {
    if (entry.is_regular_file()) {
      fs::permissions(entry.path(),
                      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                      fs::perm_options::remove);
    }
  }
  const RemovedAtEnd planted{install_.parent_path() / "Pictavo.exe"};
  fs::copy_file(bench().setupExe.parent_path() / "Pictv6.exe", planted.path);

  const std::optional<int> code = RunSetup(cd, {"-s", "-runafter"});
  ASSERT_TRUE(code.has_value()) << "the silent setup did not end";
  ASSERT_EQ(*code, 0);

  EXPECT_TRUE(fs::is_directory(install_ / "Extras")) << "the first folder record made nothing";
  const std::string log = ReadAll(install_ / "PictvUnInst.log");
  EXPECT_EQ(log.find('\x1A'), std::string::npos) << "the installed log keeps its Ctrl-Z";
  EXPECT_NE(log.find("\r\nMade Dir: " + groupWin_ + "\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\r\nShell Link: " + desktopLinkWin_ + "\r\n"), std::string::npos) << log;

  bool started = false;
  for (int attempt = 0; attempt < 100 && !started; ++attempt) {
    started = !OfKind(Uiauto({"procs", "--image", "Pictv6.exe"}).records, "process").empty();
    if (!started) {
      std::this_thread::sleep_for(100ms);
    }
  }
  EXPECT_TRUE(started) << "the product was not started";
  EXPECT_TRUE(OfKind(Uiauto({"procs", "--image", "Pictavo.exe"}).records, "process").empty())
      << "the planted program ran instead of the product";
  RunWindows({"taskkill", "/f", "/im", "Pictv6.exe"});
  RunWindows({"taskkill", "/f", "/im", "Pictavo.exe"});

  // The installed uninstaller installs from its own folder: every file is its own source.
  const UiResult shortPath = Uiauto({"shortpath", installWin_ + "\\PictvUnInst.exe"});
  const std::vector<UiRecord> shortRecords = OfKind(shortPath.records, "shortpath");
  ASSERT_EQ(shortRecords.size(), 1u) << shortPath.err;
  const std::string uninstaller = shortRecords[0].Get("path");
  ASSERT_EQ(uninstaller.find("Pictavo 6"), std::string::npos) << uninstaller;
  const std::string program = ReadAll(install_ / "Pictv6.exe");
  setup_ = std::make_unique<WindowsProcess>(uninstaller, std::vector<std::string>{"-install", "-s"},
                                            install_);
  ASSERT_TRUE(setup_->WaitForExit(60s).has_value()) << "the install run did not end";
  for (const char* name : {"Pictv6.exe", "Pictv6Man.chm", "readme.txt", "HomePage.url",
                           "PictvUnInst.exe", "Samples/harbour.pvs"}) {
    EXPECT_TRUE(fs::exists(install_ / name)) << name << " is gone";
  }
  EXPECT_EQ(ReadAll(install_ / "Pictv6.exe"), program);

  // The uninstaller's file stays held for eight seconds, past the end of the uninstaller, which
  // returns once the product is removed: the copy that takes that file away afterwards must
  // keep trying it.
  const std::unique_ptr<WindowsProcess> hold =
      HoldFile(installWin_ + "\\PictvUnInst.exe", 8000, folder());
  ASSERT_TRUE(hold) << "the uninstaller's file is not held";
  setup_ = std::make_unique<WindowsProcess>(installWin_ + "\\PictvUnInst.exe",
                                            std::vector<std::string>{"-s"}, install_);
  const std::optional<int> uninstalled = setup_->WaitForExit(30s);
  ASSERT_TRUE(uninstalled.has_value()) << "the uninstaller did not end";
  // Its own file, spared by the removal, is no shortfall of it.
  EXPECT_EQ(*uninstalled, 0);
  EXPECT_FALSE(hold->WaitForExit(0ms).has_value())
      << "the file was let go before the uninstaller ended: nothing had to be tried again";
  EXPECT_EQ(hold->WaitForExit(20s), 0);
  EXPECT_TRUE(GoneWithin(install_, 15s)) << "the product folder stays behind";
  EXPECT_FALSE(fs::exists(group_)) << "the program group stays behind";
  EXPECT_FALSE(fs::exists(desktopLink_));
}

// In code page 932 the second byte of "予" and "表" is the backslash's. Wine takes the code page
// from the locale; the host names the files in UTF-8.
TEST_F(InstallTest, DoubleByteInstallFolderInCodePage932) {
  const std::string name = "\xE4\xBA\x88\xE5\xAE\x9A\xE8\xA1\xA8";  // 予定表 in UTF-8
  const fs::path programFiles = install_.parent_path();
  const RemovedAtEnd chosen{programFiles / name};
  fs::create_directory(chosen.path);
  const FolderState before = SnapshotFolder(programFiles);
  const std::string folderWin = WindowsPath(programFiles) + "\\" + name;
  const ScopedVariable japanese("LC_ALL", "ja_JP.UTF-8");

  const std::optional<int> code = RunSetup(dist_, {"-s", "-instdir", folderWin});
  ASSERT_TRUE(code.has_value()) << "the silent setup did not end";
  ASSERT_EQ(*code, 0);
  for (const char* file :
       {"Pictv6.exe", "PictvUnInst.exe", "PictvUnInst.log", "readme.txt", "Samples/harbour.pvs"}) {
    EXPECT_TRUE(fs::exists(chosen.path / file)) << file << " is not in the chosen folder";
  }
  // Nothing beside the chosen folder: no folder of a part of its name, no file glued to it.
  FolderState after = SnapshotFolder(programFiles);
  for (auto entry = after.begin(); entry != after.end();) {
    entry = entry->first.rfind(name + "/", 0) == 0 ? after.erase(entry) : std::next(entry);
  }
  after[name] = before.at(name);
  EXPECT_EQ(after, before);

  setup_ = std::make_unique<WindowsProcess>(folderWin + "\\PictvUnInst.exe",
                                            std::vector<std::string>{"-s"}, chosen.path);
  const std::optional<int> uninstalled = setup_->WaitForExit(30s);
  ASSERT_TRUE(uninstalled.has_value()) << "the uninstaller did not end";
  EXPECT_EQ(*uninstalled, 0) << "the removal did not complete";
  EXPECT_TRUE(GoneWithin(chosen.path, 15s)) << "the chosen folder stays behind";
  FolderState left = SnapshotFolder(programFiles);
  FolderState expected = before;
  expected.erase(name);
  EXPECT_EQ(left, expected);
  EXPECT_FALSE(fs::exists(group_)) << "the program group stays behind";
}

}  // namespace
}  // namespace e2e
