#include <gtest/gtest.h>

#include "engine/shortcuts.h"
#include "platform/sim/machine.h"
#include "test_app.h"

namespace {

using platform::BoxResult;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;

constexpr char kFolder[] = "C:\\Program Files\\Pictavo 6";
constexpr char kLog[] = "C:\\Program Files\\Pictavo 6\\PictvUnInst.log";
constexpr char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class ShortcutsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.Files().WriteFile(kLog, "File Copy: Pictv6.exe\r\n\r\n");
    options_.InstallFolder = kFolder;
    options_.GroupName = "Pictavo 6";
    options_.DesktopIcon = false;
  }
  std::string Folder(platform::RegistryKey root, const char* name) {
    return machine_.Registry().GetString(root, kShellFolders, name).value();
  }
  std::vector<std::string> AppendedRecords() {
    std::string log = machine_.Files().ReadFile(kLog).value();
    log = log.substr(std::string("File Copy: Pictv6.exe\r\n\r\n").size());
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < log.size();) {
      const std::size_t end = log.find("\r\n", start);
      lines.push_back(log.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }

  sim::Machine machine_;
  RunReport report_;
  sim::Process& process_ = machine_.Processes().Start({"D:\\Dist\\setup.exe", {}, {}});
  TestApp app_{process_.GetPlatform()};
  SetupOptions options_;
};

TEST_F(ShortcutsTest, GroupWithFourShortcutsAndTheirRecords) {
  CreateProductShortcuts(app_, options_, report_);
  const std::string group = Folder(kHkeyCurrentUser, "Programs") + "\\Pictavo 6";
  EXPECT_EQ(AppendedRecords(), (std::vector<std::string>{
                                   "Made Dir: " + group, "Shell Link: " + group + "\\Pictavo 6.lnk",
                                   "Shell Link: " + group + "\\Pictavo 6 Help.lnk",
                                   "Shell Link: " + group + "\\Read about Pictavo 6.lnk",
                                   "Shell Link: " + group + "\\Uninstall Pictavo 6.lnk"}));
  EXPECT_EQ(machine_.Shell().ReadShortcut(group + "\\Pictavo 6.lnk"),
            (sim::Shortcut{std::string(kFolder) + "\\Pictv6.exe", "%APPDATA%", ""}));
  EXPECT_EQ(machine_.Shell().ReadShortcut(group + "\\Pictavo 6 Help.lnk"),
            (sim::Shortcut{std::string(kFolder) + "\\Pictv6Man.chm", "", ""}));
  EXPECT_EQ(machine_.Shell().ReadShortcut(group + "\\Uninstall Pictavo 6.lnk")->target,
            std::string(kFolder) + "\\PictvUnInst.exe");
  EXPECT_TRUE(machine_.GetUser().Boxes().empty());
}

TEST_F(ShortcutsTest, DesktopAndStartupShortcutsFollowTheChoices) {
  options_.DesktopIcon = true;
  options_.Autostart = true;
  options_.AllUsers = true;
  CreateProductShortcuts(app_, options_, report_);
  const std::vector<std::string> records = AppendedRecords();
  ASSERT_EQ(records.size(), 7u);
  EXPECT_EQ(records[5],
            "Shell Link: " + Folder(kHkeyLocalMachine, "Common Desktop") + "\\Pictavo 6.lnk");
  EXPECT_EQ(records[6],
            "Shell Link: " + Folder(kHkeyLocalMachine, "Common Startup") + "\\Pictavo 6.lnk");
  EXPECT_TRUE(options_.AllUsers);
  EXPECT_EQ(machine_.Shell()
                .ReadShortcut(Folder(kHkeyLocalMachine, "Common Startup") + "\\Pictavo 6.lnk")
                ->workingFolder,
            "%APPDATA%");
}

TEST_F(ShortcutsTest, UnknownAllUsersProgramMenuTurnsTheRunIntoACurrentUserOne) {
  for (const char* common : {"", "C:\\"}) {
    machine_.Registry().SetString(kHkeyLocalMachine, kShellFolders, "Common Programs", common);
    options_.AllUsers = true;
    options_.DesktopIcon = true;
    CreateProductShortcuts(app_, options_, report_);
    EXPECT_FALSE(options_.AllUsers) << common;
    EXPECT_TRUE(machine_.Files().Exists(Folder(kHkeyCurrentUser, "Desktop") + "\\Pictavo 6.lnk"));
    EXPECT_TRUE(machine_.Files().Exists(Folder(kHkeyCurrentUser, "Programs") +
                                        "\\Pictavo 6\\Pictavo 6.lnk"));
  }
}

TEST_F(ShortcutsTest, NestedGroupWithASlashAndATrailingBackslash) {
  options_.GroupName = " Corvantis/Pictavo 6\\ ";
  CreateProductShortcuts(app_, options_, report_);
  EXPECT_EQ(options_.GroupName, "Corvantis\\Pictavo 6");
  const std::string group = Folder(kHkeyCurrentUser, "Programs") + "\\Corvantis\\Pictavo 6";
  EXPECT_EQ(AppendedRecords().front(), "Made Dir: " + group);
  EXPECT_TRUE(machine_.Files().Exists(group + "\\Read about Pictavo 6.lnk"));
}

// Windows trims all trailing dots of a path's last name but one of a name inside it: a level
// made as a last name would be another folder than the one the group lies in, left behind.
TEST_F(ShortcutsTest, NestedGroupLevelEndingInDotsIsTheFolderTheGroupLiesIn) {
  options_.GroupName = "Corvantis..\\Pictavo 6";
  CreateProductShortcuts(app_, options_, report_);
  const std::string programs = Folder(kHkeyCurrentUser, "Programs");
  EXPECT_TRUE(machine_.Files().Exists(programs + "\\Corvantis..\\Pictavo 6\\Pictavo 6.lnk"));
  EXPECT_FALSE(machine_.Files().Exists(programs + "\\Corvantis")) << "a second, empty level";
}

TEST_F(ShortcutsTest, GroupThatCannotBeCreatedStillGetsItsRecordButNoShortcuts) {
  options_.GroupName = "Missing\\Parent\\Deep";
  options_.DesktopIcon = true;
  // The first level is a file, so no level below it can be made.
  machine_.Files().WriteFile(Folder(kHkeyCurrentUser, "Programs") + "\\Missing", "a file");
  CreateProductShortcuts(app_, options_, report_);
  const std::vector<std::string> records = AppendedRecords();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].rfind("Made Dir: ", 0), 0u);
  EXPECT_EQ(records[1], "Shell Link: " + Folder(kHkeyCurrentUser, "Desktop") + "\\Pictavo 6.lnk");
}

TEST_F(ShortcutsTest, SetPathAndSetDescriptionFailuresAreShownUnlessSilentAndTheShortcutIsSaved) {
  machine_.Faults().Set(sim::Fault{.call = "IShellLink::SetPath", .lasting = true});
  machine_.Faults().Add(sim::Fault{.call = "IShellLink::SetDescription", .lasting = true});
  const sim::ExpectedBox setPath{
      "SetPath failed!", "Pictavo Setup", {platform::Buttons::Ok, platform::Icon::Warning}};
  const sim::ExpectedBox setDescription{
      "SetDescription failed!", "Pictavo Setup", {platform::Buttons::Ok, platform::Icon::Warning}};
  machine_.GetUser().WillAnswer(setPath, BoxResult::Ok);
  machine_.GetUser().WillAnswer(setDescription, BoxResult::Ok);
  const std::string shortcut = Folder(kHkeyCurrentUser, "Desktop") + "\\Pictavo 6.lnk";
  EXPECT_EQ(CreateShellLink(app_, options_, "\"C:\\P\\Pictv6.exe\"", shortcut, std::nullopt),
            kShortcutSaved);
  EXPECT_TRUE(machine_.Files().Exists(shortcut));
  EXPECT_EQ(AppendedRecords(), (std::vector<std::string>{"Shell Link: " + shortcut}));

  // A silent run waits for nobody: no box, the shortcut all the same.
  options_.Silent = true;
  const std::string second = Folder(kHkeyCurrentUser, "Desktop") + "\\Second.lnk";
  EXPECT_EQ(CreateShellLink(app_, options_, "C:\\P\\Pictv6.exe", second, std::nullopt),
            kShortcutSaved);
  EXPECT_EQ(machine_.GetUser().Boxes().size(), 2u);
  EXPECT_TRUE(machine_.Files().Exists(second));
}

TEST_F(ShortcutsTest, UnsavedShortcutsGetNoRecordAndNoMessage) {
  const std::string desktop = Folder(kHkeyCurrentUser, "Desktop");
  machine_.Faults().Set(
      sim::Fault{.error = platform::kHresultFail, .call = "IShellLink::Save", .lasting = true});
  EXPECT_LT(CreateShellLink(app_, options_, "C:\\P\\a.exe", desktop + "\\a.lnk", std::nullopt), 0);
  machine_.Faults().Set(sim::Fault{.call = "CoCreateInstance", .object = "ShellLink"});
  EXPECT_LT(CreateShellLink(app_, options_, "C:\\P\\a.exe", desktop + "\\b.lnk", std::nullopt), 0);
  machine_.Faults().Set(std::nullopt);
  // Paths beyond the buffers are refused before anything is made.
  EXPECT_LT(CreateShellLink(app_, options_, "C:\\" + std::string(510, 't'), desktop + "\\c.lnk",
                            std::nullopt),
            0);
  EXPECT_LT(CreateShellLink(app_, options_, "C:\\P\\a.exe", "C:\\" + std::string(260, 's') + ".lnk",
                            std::nullopt),
            0);
  EXPECT_EQ(CreateShellLink(app_, options_, "C:\\" + std::string(508, 't'), desktop + "\\d.lnk",
                            std::nullopt),
            kShortcutSaved);
  EXPECT_EQ(AppendedRecords(), (std::vector<std::string>{"Shell Link: " + desktop + "\\d.lnk"}));
  EXPECT_TRUE(machine_.GetUser().Boxes().empty());
}

TEST_F(ShortcutsTest, ShortcutPathLimitCountsCharactersNotBytes) {
  machine_.System().SetCodePage(932);
  const std::string desktop = Folder(kHkeyCurrentUser, "Desktop");
  std::string fits;  // 150 characters in 300 bytes
  for (int i = 0; i < 150; ++i) {
    fits += "\x83\x41";
  }
  const std::string tooLong = fits + fits;
  EXPECT_EQ(
      CreateShellLink(app_, options_, "C:\\P\\a.exe", desktop + "\\" + fits + ".lnk", std::nullopt),
      kShortcutSaved);
  EXPECT_LT(CreateShellLink(app_, options_, "C:\\P\\a.exe", desktop + "\\" + tooLong + ".lnk",
                            std::nullopt),
            0);
  EXPECT_EQ(AppendedRecords(),
            (std::vector<std::string>{"Shell Link: " + desktop + "\\" + fits + ".lnk"}));
}

TEST_F(ShortcutsTest, ReinstallSavesOverTheOldShortcutsAndLogsThemAgain) {
  CreateProductShortcuts(app_, options_, report_);
  CreateProductShortcuts(app_, options_, report_);
  EXPECT_EQ(AppendedRecords().size(), 10u);
}

}  // namespace
