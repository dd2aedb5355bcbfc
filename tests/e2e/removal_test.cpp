// Removal from end to end: an installed product as the installer leaves it, the uninstaller
// started from the product folder, the hand-over to a temporary copy of itself that the
// uninstaller waits for, and a machine on which afterwards nothing of the product is left but
// that copy, which the next system start deletes.

#include <algorithm>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <sstream>
#include <thread>

#include "bench.h"
#include "registry_keys.h"

namespace e2e {
namespace {

constexpr char kCaption[] = "Pictavo Setup";
constexpr char kDone[] = "Pictavo 6 has been completely uninstalled from this computer.";
constexpr int kYes = 6;
constexpr int kOk = 1;

constexpr char kInstallFolder[] = R"(C:\Program Files\Pictavo 6)";
constexpr char kFileExts[] =
    R"(HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts)";
constexpr char kClassesPng[] = R"(HKEY_CLASSES_ROOT\.png)";
constexpr char kProductProgram[] = R"(C:\Program Files\Pictavo 6\Pictv6.exe)";

// Every key of the product, as full names; each must be gone after the removal.
const std::vector<std::string> kProductKeys = {
    R"(HKEY_LOCAL_MACHINE\SOFTWARE\Corvantis\Pictavo 6)",
    R"(HKEY_LOCAL_MACHINE\SOFTWARE\Corvantis)",
    R"(HKEY_CURRENT_USER\SOFTWARE\Corvantis\Pictavo 6)",
    R"(HKEY_CURRENT_USER\SOFTWARE\Corvantis)",
    R"(HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Pictv6.exe)",
    R"(HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Pictavo 6)",
    R"(HKEY_CLASSES_ROOT\PV6.Document)",
};

std::string RegKey(const std::string& key,
                   const std::vector<std::pair<std::string, std::string>>& values) {
  std::string reg = "\n[" + key + "]\n";
  for (const auto& [name, data] : values) {
    reg += (name.empty() ? "@" : RegQuoted(name)) + "=" + RegQuoted(data) + "\n";
  }
  return reg;
}

std::string RegHeader() {
  return "Windows Registry Editor Version 5.00\n";
}

std::string RegRemoveProduct() {
  std::string reg = RegHeader();
  for (const std::string& key :
       {kProductKeys[1], kProductKeys[3], kProductKeys[4], kProductKeys[5], kProductKeys[6]}) {
    reg += "\n[-" + key + "]\n";
  }
  return reg;
}

// Waits until `done` holds, up to `timeout`; whether it did.
bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(100ms);
  }
  return true;
}

enum class AssociationRoot { kUserFileExts, kClassesRoot };

class RemovalTest : public WineTest {
 protected:
  // The product's image association lies where the program examines it: under the user's
  // FileExts key when that exists, in the default value of the class key otherwise.
  void LayDown(AssociationRoot root) {
    root_ = root;
    install_ = HostPath(kInstallFolder);
    ASSERT_FALSE(TempFolder().empty()) << "the prefix's temp folder was not found";
    tempBefore_ = FilesMatching(TempFolder(), "uni*.tmp");
    pendingBefore_ = RegValue(kSessionManager, "PendingFileRenameOperations").has_value();

    const std::optional<std::string> programs = RegValue(kShellFolders, "Common Programs");
    const std::optional<std::string> desktop = RegValue(kShellFolders, "Common Desktop");
    ASSERT_TRUE(programs && !programs->empty()) << "the prefix names no all-users Programs";
    ASSERT_TRUE(desktop && !desktop->empty()) << "the prefix names no all-users Desktop";
    programs_ = HostPath(*programs);
    group_ = HostPath(*programs + "\\Pictavo 6");
    groupLink_ = group_ / "Pictavo 6.lnk";
    desktopLink_ = HostPath(*desktop + "\\Pictavo 6.lnk");
    ASSERT_TRUE(fs::is_directory(programs_)) << programs_;
    ASSERT_FALSE(fs::exists(install_)) << "a product folder from elsewhere lies in the prefix";
    ASSERT_FALSE(fs::exists(group_)) << "a program group from elsewhere lies in the prefix";

    touched_ = true;
    fs::create_directories(install_ / "Samples");
    fs::copy_file(bench().setupExe, install_ / "PictvUnInst.exe");
    fs::copy_file(bench().setupExe.parent_path() / "Pictv6.exe", install_ / "Pictv6.exe");
    WriteAll(install_ / "readme.txt", "Read about Pictavo 6\r\n");
    WriteAll(install_ / "Samples" / "flowers.dat", "sample one");
    WriteAll(install_ / "Samples" / "harbour.dat", "sample two");
    WriteAll(install_ / "PictvUnInst.log",
             "File Copy: Pictv6.exe\r\n"
             "File Copy: readme.txt\r\n"
             "Make Dir: Samples\r\n"
             "File Copy: Samples\\*.dat\r\n"
             "File Copy: setup.exe>PictvUnInst.exe\r\n"
             "\r\n"
             "Made Dir: " +
                 *programs + "\\Pictavo 6\r\n" + "Shell Link: " + *programs +
                 "\\Pictavo 6\\Pictavo 6.lnk\r\n" + "Shell Link: " + *desktop +
                 "\\Pictavo 6.lnk\r\n");
    fs::create_directories(group_);
    WriteAll(groupLink_, "stands in for a shortcut");
    WriteAll(desktopLink_, "stands in for a shortcut");

    fileExtsBefore_ = QueryRegistry(kFileExts).has_value();
    classPngBefore_ = QueryRegistry(kClassesPng).has_value();
    classPngDefault_ = RegValue(kClassesPng, "");
    std::string reg =
        RegRemoveProduct() +
        RegKey(kProductKeys[0], {{"Path", kInstallFolder}, {"AllUsers", "A"}}) +
        RegKey(kProductKeys[2], {{"Path", kInstallFolder}}) +
        RegKey(kProductKeys[4], {{"", kProductProgram}}) +
        RegKey(kProductKeys[5],
               {{"DisplayName", "Pictavo 6"},
                {"UninstallString", std::string(kInstallFolder) + "\\PictvUnInst.exe"}}) +
        RegKey(kProductKeys[6], {{"", "Pictavo 6 Image"}}) +
        RegKey(kProductKeys[6] + R"(\shell\open\command)",
               {{"", std::string("\"") + kProductProgram + "\" \"%1\""}});
    if (root == AssociationRoot::kUserFileExts) {
      reg += RegKey(std::string(kFileExts) + "\\.png",
                    {{"Application", kProductProgram}, {"PictvOld", "mspaint.exe"}});
    } else {
      ASSERT_FALSE(fileExtsBefore_) << "the prefix has a FileExts key: the program would not "
                                       "examine the class keys";
      reg += RegKey(kClassesPng, {{"", kProductProgram}, {"PictvOld", "pngfile"}});
    }
    ASSERT_TRUE(ImportRegistry(reg));
    for (const std::string& key :
         {kProductKeys[0], kProductKeys[2], kProductKeys[4], kProductKeys[5], kProductKeys[6]}) {
      ASSERT_TRUE(QueryRegistry(key).has_value()) << key << " was not laid down";
    }
    ASSERT_EQ(RegValue(AssociationKey(), AssociationValue()), kProductProgram);
  }

  void TearDown() override {
    uninstaller_.reset();
    if (touched_) {
      // A copy still running (its box unanswered) would hold its file and show up in the
      // next test.
      RemoveTemporaryCopies(tempBefore_);
      std::error_code error;
      fs::remove_all(install_, error);
      fs::remove_all(group_, error);
      fs::remove(desktopLink_, error);

      std::string reg = RegRemoveProduct();
      if (!pendingBefore_) {
        reg += "\n[" + std::string(kSessionManager) + "]\n\"PendingFileRenameOperations\"=-\n";
      }
      if (root_ == AssociationRoot::kUserFileExts) {
        reg += "\n[-" +
               std::string(fileExtsBefore_ ? std::string(kFileExts) + "\\.png"
                                           : std::string(kFileExts)) +
               "]\n";
      } else if (!classPngBefore_) {
        reg += "\n[-" + std::string(kClassesPng) + "]\n";
      } else {
        reg += "\n[" + std::string(kClassesPng) + "]\n\"PictvOld\"=-\n@=" +
               (classPngDefault_ ? RegQuoted(*classPngDefault_) : std::string("-")) + "\n";
      }
      EXPECT_TRUE(ImportRegistry(reg)) << "the product's keys stay behind";
    }
    WineTest::TearDown();
  }

  std::string AssociationKey() const {
    return root_ == AssociationRoot::kUserFileExts ? std::string(kFileExts) + "\\.png"
                                                   : std::string(kClassesPng);
  }
  std::string AssociationValue() const {
    return root_ == AssociationRoot::kUserFileExts ? "Application" : "";
  }

  void StartUninstaller(const std::vector<std::string>& args) {
    uninstaller_ = std::make_unique<WindowsProcess>(
        std::string(kInstallFolder) + "\\PictvUnInst.exe", args, install_);
    ASSERT_TRUE(uninstaller_->started());
  }

  // The temporary copy: the one uni*.tmp that appeared in the temp folder.
  std::string TempCopy() const {
    const std::vector<std::string> added =
        NewNames(FilesMatching(TempFolder(), "uni*.tmp"), tempBefore_);
    return added.size() == 1 ? added[0] : std::string();
  }

  // The uninstaller's own file and the folder that holds it go a moment after the uninstaller
  // has ended, taken away by the copy started once more; whether they did within ten seconds.
  bool UninstallerAndFolderGo() const {
    return Eventually([&] { return !fs::exists(install_); }, 10s);
  }

  // Everything of the product but the uninstaller's own file and the folder that holds it,
  // which the removal leaves while the uninstaller runs.
  void ExpectProductGoneButTheUninstaller() {
    std::vector<std::string> left;
    for (const auto& [path, what] : SnapshotFolder(install_)) {
      left.push_back(path);
    }
    EXPECT_TRUE(left.empty() || left == std::vector<std::string>{"PictvUnInst.exe"})
        << "the product folder holds more than the uninstaller: " << testing::PrintToString(left);
    EXPECT_FALSE(fs::exists(groupLink_)) << "the group shortcut stays";
    EXPECT_FALSE(fs::exists(group_)) << "the program group stays";
    EXPECT_FALSE(fs::exists(desktopLink_)) << "the desktop shortcut stays";
    // The walk up from the group folder stops at the first folder that still holds entries.
    EXPECT_TRUE(fs::is_directory(programs_)) << "the Programs folder itself was removed";
    for (const std::string& key : kProductKeys) {
      EXPECT_FALSE(QueryRegistry(key).has_value()) << key << " stays";
    }
    const std::string restored =
        root_ == AssociationRoot::kUserFileExts ? "mspaint.exe" : "pngfile";
    EXPECT_EQ(RegValue(AssociationKey(), AssociationValue()), restored);
    EXPECT_FALSE(RegValue(AssociationKey(), "PictvOld").has_value()) << "PictvOld stays";
  }

  void ExpectProductGone() {
    ExpectProductGoneButTheUninstaller();
    EXPECT_FALSE(fs::exists(install_)) << "the product folder stays";
  }

  // What is left is the copy's own file, recorded for deletion at the next system start. The
  // copy's second start, which took the uninstaller's file away, ends by itself first.
  void ExpectOnlyTheCopyLeftUntilRestart(const std::string& copy) {
    ASSERT_FALSE(copy.empty());
    EXPECT_TRUE(Eventually(
        [&] {
          return OfKind(Uiauto({"procs", "--image", copy}).records, "process").empty();
        },
        20s))
        << "the temporary copy still runs";
    EXPECT_TRUE(fs::exists(TempFolder() / copy)) << "the copy's file went before the restart";
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

  AssociationRoot root_ = AssociationRoot::kUserFileExts;
  bool touched_ = false;
  fs::path install_;
  fs::path programs_;
  fs::path group_;
  fs::path groupLink_;
  fs::path desktopLink_;
  std::vector<std::string> tempBefore_;
  bool pendingBefore_ = false;
  bool fileExtsBefore_ = false;
  bool classPngBefore_ = false;
  std::optional<std::string> classPngDefault_;
  std::unique_ptr<WindowsProcess> uninstaller_;
};

TEST_F(RemovalTest, YesHandsOverToATemporaryCopyThatRemovesEverythingAndSaysSo) {
  ASSERT_NO_FATAL_FAILURE(LayDown(AssociationRoot::kUserFileExts));
  StartUninstaller({});
  const std::string uninstallerPath = std::string(kInstallFolder) + "\\PictvUnInst.exe";
  const UiResult question =
      Uiauto({"press", "--title", kCaption, "--class", "#32770", "--image", uninstallerPath, "--id",
              std::to_string(kYes), "--timeout", "20000", "--wait-close", "10000"});
  ASSERT_EQ(question.exitCode, 0) << "no removal question was answered\n" << question.err;

  const UiResult done =
      Uiauto({"describe", "--title", kCaption, "--class", "#32770", "--timeout", "30000"}, 40s);
  ASSERT_EQ(done.exitCode, 0) << "no closing message appeared\n" << done.err;
  const std::vector<UiRecord> windows = OfKind(done.records, "window");
  ASSERT_EQ(windows.size(), 1u);
  const std::string copy = TempCopy();
  ASSERT_FALSE(copy.empty()) << "no single temporary copy in the temp folder";
  EXPECT_EQ(AsciiLower(windows[0].Get("image")), AsciiLower(WindowsPath(TempFolder() / copy)))
      << "the closing message is not the temporary copy's";
  const std::vector<UiRecord> messages = OfKind(done.records, "message");
  ASSERT_EQ(messages.size(), 1u) << "not a message box";
  EXPECT_EQ(messages[0].Get("text"), kDone);
  std::vector<std::string> buttons;
  for (const UiRecord& control : OfKind(done.records, "control")) {
    if (AsciiLower(control.Get("class")) == "button") {
      buttons.push_back(control.Get("id") + ":" + control.Get("text"));
    }
  }
  EXPECT_EQ(buttons, std::vector<std::string>{"1:OK"});
  const std::vector<UiRecord> icons = OfKind(done.records, "icon");
  ASSERT_EQ(icons.size(), 1u);
  EXPECT_EQ(icons[0].Get("name"), "warning");
  // By the time the box shows, the removal is over: everything but the copy and the
  // uninstaller, which waits for the copy to end, is already gone.
  EXPECT_FALSE(uninstaller_->WaitForExit(0ms).has_value())
      << "the uninstaller ended before the removal's box was answered";
  ExpectProductGoneButTheUninstaller();

  const std::optional<long long> pid = windows[0].Number("pid");
  ASSERT_TRUE(pid.has_value());
  // Started before the press, with time to open the process: one that has ended can no
  // longer be asked for its exit code. The box holds the copy meanwhile.
  std::future<UiResult> exited = std::async(std::launch::async, [&] {
    return Uiauto({"wait-exit", "--pid", std::to_string(*pid), "--timeout", "20000"}, 40s);
  });
  std::this_thread::sleep_for(2s);
  const UiResult pressed = Uiauto({"press", "--hwnd", windows[0].Get("hwnd"), "--id",
                                   std::to_string(kOk), "--wait-close", "10000"});
  ASSERT_EQ(pressed.exitCode, 0) << pressed.err;
  const UiResult exit = exited.get();
  ASSERT_EQ(exit.exitCode, 0) << "the copy did not end\n" << exit.err;
  const std::vector<UiRecord> codes = OfKind(exit.records, "exit");
  ASSERT_EQ(codes.size(), 1u);
  EXPECT_EQ(codes[0].Number("code"), 0) << codes[0].Get("code_hex");
  // The uninstaller ends once the copy has, with the removal's outcome; its own file and the
  // folder follow.
  const std::optional<int> uninstalled = uninstaller_->WaitForExit(15s);
  ASSERT_TRUE(uninstalled.has_value()) << "the uninstaller still runs after the removal";
  EXPECT_EQ(*uninstalled, 0);
  EXPECT_TRUE(UninstallerAndFolderGo()) << "the uninstaller's file or the folder stays";
  ExpectProductGone();

  ExpectOnlyTheCopyLeftUntilRestart(copy);
}

TEST_F(RemovalTest, SilentRemovalAsksNothingAndLeavesTheSameMachine) {
  ASSERT_NO_FATAL_FAILURE(LayDown(AssociationRoot::kClassesRoot));
  StartUninstaller({"-s"});
  // The uninstaller waits for its temporary copy and ends with the removal's outcome; it ends
  // by itself only if the copy shows nothing, since an unanswered box would hold both.
  const std::optional<int> uninstalled = uninstaller_->WaitForExit(30s);
  ASSERT_TRUE(uninstalled.has_value()) << "the silent uninstaller waits for something";
  EXPECT_EQ(*uninstalled, 0);
  // It returns once the product is gone; only its own file and the folder follow later.
  ExpectProductGoneButTheUninstaller();

  const std::string copy = TempCopy();
  ASSERT_FALSE(copy.empty()) << "no single temporary copy in the temp folder";
  const UiResult boxes = Uiauto({"list", "--title", kCaption});
  EXPECT_TRUE(OfKind(boxes.records, "window").empty()) << "a box of the program is showing";

  EXPECT_TRUE(UninstallerAndFolderGo()) << "the uninstaller's file or the folder stays";
  ExpectProductGone();
  ExpectOnlyTheCopyLeftUntilRestart(copy);
}

// A hand-laid installation with every kind of record, the stray ones included: a renamed copy
// with a remark, deletions outside the folder, a shortcut in Startup, and a "shortcut" that is
// a user's file. Its removal takes the product with its folder and leaves the user's files.
TEST_F(RemovalTest, EveryKindOfRecordGoesWithTheFolderAndNothingOutsideIt) {
  ASSERT_NO_FATAL_FAILURE(LayDown(AssociationRoot::kUserFileExts));
  const std::optional<std::string> startup = RegValue(kShellFolders, "Common Startup");
  ASSERT_TRUE(startup && !startup->empty()) << "the prefix names no all-users Startup";
  const std::optional<std::string> programs = RegValue(kShellFolders, "Common Programs");
  const std::optional<std::string> desktop = RegValue(kShellFolders, "Common Desktop");
  const fs::path startupLink = HostPath(*startup + "\\Pictavo 6.lnk");
  fs::create_directories(startupLink.parent_path());
  WriteAll(startupLink, "stands in for a shortcut");
  const RemovedAtEnd startupShortcut{startupLink};

  fs::remove_all(install_ / "Samples");
  for (const char* name :
       {"Pictv6Man.chm", "HomePage.url", "data/a.dat", "data/b.dat", "Help/notes-renamed.txt"}) {
    fs::create_directories((install_ / name).parent_path());
    WriteAll(install_ / name, name);
  }
  const std::vector<RemovedAtEnd> users = {{HostPath("C:\\victim.txt")},
                                           {HostPath("C:\\victim2.txt")},
                                           {install_.parent_path() / "outside.txt"}};
  for (const RemovedAtEnd& file : users) {
    WriteAll(file.path, "the user's");
  }
  const std::string group = *programs + "\\Pictavo 6\\";
  std::string log =
      "Make Dir: data\r\nMake Dir: Help\r\nFile Copy: Pictv6.exe\r\n"
      "File Copy: setup.exe>PictvUnInst.exe\r\nFile Copy: readme.txt\r\n"
      "File Copy: Pictv6Man.chm\r\nFile Copy: HomePage.url\r\nFile Copy: data\\*.dat\r\n"
      "File Copy: notes.txt >  Help\\notes-renamed.txt | remark > ignored\r\n"
      "File Del: ..\\outside.txt\r\nFile Del: C:\\victim.txt\r\n\r\nMade Dir: " +
      *programs + "\\Pictavo 6\r\n";
  for (const char* link : {"Pictavo 6.lnk", "Pictavo 6 Manual.lnk", "Pictavo 6 Home Page.lnk",
                           "Uninstall Pictavo 6.lnk"}) {
    WriteAll(group_ / link, "stands in for a shortcut");
    log += "Shell Link: " + group + link + "\r\n";
  }
  log += "Shell Link: " + *desktop + "\\Pictavo 6.lnk\r\nShell Link: " + *startup +
         "\\Pictavo 6.lnk\r\nShell Link: C:\\victim2.txt\r\n";
  WriteAll(install_ / "PictvUnInst.log", log);

  StartUninstaller({"-s"});
  const std::optional<int> uninstalled = uninstaller_->WaitForExit(30s);
  ASSERT_TRUE(uninstalled.has_value()) << "the silent uninstaller waits for something";
  EXPECT_EQ(*uninstalled, 0);
  EXPECT_TRUE(UninstallerAndFolderGo())
      << "the product folder stays, holding: " << testing::PrintToString(SnapshotFolder(install_));
  ExpectProductGone();
  EXPECT_FALSE(fs::exists(startupLink)) << "the Startup shortcut stays";
  EXPECT_TRUE(fs::is_directory(startupLink.parent_path())) << "the Startup folder went";
  for (const RemovedAtEnd& file : users) {
    EXPECT_EQ(ReadAll(file.path), "the user's") << file.path << " was touched";
  }
}

}  // namespace
}  // namespace e2e
