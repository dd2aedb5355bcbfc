#include <gtest/gtest.h>

#include "platform/sim/machine.h"
#include "uninstall/uninstall_run.h"

namespace {

using platform::kHkeyClassesRoot;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using platform::kHkeyUsers;

constexpr char kProductKey[] = "SOFTWARE\\Corvantis\\Pictavo 6";
constexpr char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
constexpr char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kSecondUser[] = "S-1-5-21-1000-1000-1000-1002";

class UninstallRunTest : public ::testing::Test {
 protected:
  sim::Registry& registry() { return machine_.Registry(); }
  sim::FileSystem& files() { return machine_.Files(); }
  std::string ShellFolder(platform::RegistryKey root, const std::string& name) {
    return registry().GetString(root, kShellFolders, name).value_or("");
  }

  sim::Machine machine_;
  RunReport report_;
  platform::Platform& platform_ =
      machine_.Processes().Start({"C:\\Temp\\uni1.tmp", {}, {}}).GetPlatform();
};

TEST_F(UninstallRunTest, ProductKeysGoForTheMachineAndEveryUser) {
  registry().AddUser(kSecondUser);
  const std::string secondUser = std::string(kSecondUser) + "\\";
  registry().SetString(kHkeyLocalMachine, std::string(kProductKey) + "\\Options\\Deep", "v", "x");
  registry().SetString(kHkeyCurrentUser, std::string(kProductKey) + "\\Settings", "v", "x");
  registry().SetString(kHkeyUsers, secondUser + kProductKey + "\\Settings", "v", "x");
  registry().SetString(kHkeyUsers, secondUser + "SOFTWARE\\Corvantis\\Other", "v", "x");
  registry().SetString(kHkeyClassesRoot, "PV6.Document\\shell\\open\\command", "", "x");
  registry().SetString(kHkeyLocalMachine,
                       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictavo 6",
                       "DisplayName", "Pictavo 6");
  registry().SetString(kHkeyLocalMachine,
                       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pictv6.exe", "",
                       "C:\\P\\Pictv6.exe");
  registry().SetString(kHkeyLocalMachine,
                       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other", "x", "y");

  RemoveProductRegistry(platform_.registry);

  EXPECT_FALSE(registry().KeyExists(kHkeyLocalMachine, "SOFTWARE\\Corvantis"));
  EXPECT_FALSE(registry().KeyExists(kHkeyCurrentUser, "SOFTWARE\\Corvantis"));
  EXPECT_FALSE(registry().KeyExists(kHkeyUsers, secondUser + kProductKey));
  // Another product of the company keeps the company key.
  EXPECT_TRUE(registry().KeyExists(kHkeyUsers, secondUser + "SOFTWARE\\Corvantis\\Other"));
  EXPECT_FALSE(registry().KeyExists(kHkeyClassesRoot, "PV6.Document"));
  // The entry is the removal's last step, not the registry's.
  EXPECT_TRUE(registry().KeyExists(
      kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictavo 6"));
  EXPECT_FALSE(registry().KeyExists(
      kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pictv6.exe"));
  EXPECT_TRUE(registry().KeyExists(
      kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other"));
  EXPECT_EQ(registry().OpenHandles(), 0u);
}

TEST_F(UninstallRunTest, WithoutAdministratorRightsTheUsersOwnKeysStillGo) {
  registry().SetString(kHkeyLocalMachine, kProductKey, "Path", "C:\\P");
  registry().SetString(kHkeyCurrentUser, kProductKey, "v", "x");
  machine_.Faults().Set(sim::NoAdministratorRights());
  RemoveProductRegistry(platform_.registry);
  EXPECT_TRUE(registry().KeyExists(kHkeyLocalMachine, kProductKey));
  EXPECT_FALSE(registry().KeyExists(kHkeyCurrentUser, kProductKey));
}

TEST_F(UninstallRunTest, ImageTypesTakenByTheProductGetTheirProgramBack) {
  const std::string exts = kFileExts;
  registry().SetString(kHkeyCurrentUser, exts + "\\.png", "Application",
                       "C:\\Program Files\\Pictavo 6\\Pictv6.exe");
  registry().SetString(kHkeyCurrentUser, exts + "\\.png", "PictvOld", "mspaint.exe");
  registry().SetString(kHkeyCurrentUser, exts + "\\.bmp", "Application", "\"Pictv6.exe\" %1");
  registry().SetString(kHkeyCurrentUser, exts + "\\.jpg", "Application", "Pictv6.exe");
  registry().SetString(kHkeyCurrentUser, exts + "\\.jpg", "PictvOld", "");
  registry().SetString(kHkeyCurrentUser, exts + "\\.gif", "Application", "viewer.exe");
  registry().SetString(kHkeyCurrentUser, exts + "\\.gif", "PictvOld", "mspaint.exe");
  registry().SetString(kHkeyCurrentUser, exts + "\\.tif", "Application", "PICTV6.EXE");
  registry().SetString(kHkeyCurrentUser, exts + "\\.xyz", "Application", "Pictv6.exe");

  RestoreImageAssociations(platform_);

  EXPECT_EQ(registry().GetString(kHkeyCurrentUser, exts + "\\.png", "Application"), "mspaint.exe");
  EXPECT_FALSE(registry().GetString(kHkeyCurrentUser, exts + "\\.png", "PictvOld"));
  EXPECT_FALSE(registry().GetString(kHkeyCurrentUser, exts + "\\.bmp", "Application"));
  EXPECT_FALSE(registry().GetString(kHkeyCurrentUser, exts + "\\.jpg", "Application"));
  EXPECT_FALSE(registry().GetString(kHkeyCurrentUser, exts + "\\.jpg", "PictvOld"));
  // Types the product does not hold keep everything, their old value too.
  EXPECT_EQ(registry().GetString(kHkeyCurrentUser, exts + "\\.gif", "Application"), "viewer.exe");
  EXPECT_EQ(registry().GetString(kHkeyCurrentUser, exts + "\\.gif", "PictvOld"), "mspaint.exe");
  EXPECT_EQ(registry().GetString(kHkeyCurrentUser, exts + "\\.tif", "Application"), "PICTV6.EXE");
  EXPECT_EQ(registry().GetString(kHkeyCurrentUser, exts + "\\.xyz", "Application"), "Pictv6.exe");
  EXPECT_EQ(machine_.Shell().Notifications().size(), 1u);
  EXPECT_EQ(registry().OpenHandles(), 0u);
}

TEST_F(UninstallRunTest, WithoutFileExtsTheClassesDefaultValuesAreRestored) {
  registry().DeleteTree(kHkeyCurrentUser, kFileExts);
  registry().SetString(kHkeyClassesRoot, ".png", "", "Pictv6.exe");
  registry().SetString(kHkeyClassesRoot, ".png", "PictvOld", "pngfile");
  registry().SetString(kHkeyClassesRoot, ".dib", "", "Pictv6.exe");
  registry().SetString(kHkeyClassesRoot, ".gif", "", "giffile");

  RestoreImageAssociations(platform_);

  EXPECT_EQ(registry().GetString(kHkeyClassesRoot, ".png", ""), "pngfile");
  EXPECT_FALSE(registry().GetString(kHkeyClassesRoot, ".png", "PictvOld"));
  EXPECT_FALSE(registry().GetString(kHkeyClassesRoot, ".dib", ""));
  EXPECT_EQ(registry().GetString(kHkeyClassesRoot, ".gif", ""), "giffile");
  EXPECT_EQ(machine_.Shell().Notifications().size(), 1u);
}

TEST_F(UninstallRunTest, NothingTakenMeansNoShellNotice) {
  registry().SetString(kHkeyCurrentUser, std::string(kFileExts) + "\\.png", "Application",
                       "mspaint.exe");
  RestoreImageAssociations(platform_);
  EXPECT_TRUE(machine_.Shell().Notifications().empty());
}

TEST_F(UninstallRunTest, FixedNameShortcutsAndGroupsGoForAllUsersAndEveryUser) {
  registry().AddUser(kSecondUser);
  std::vector<std::string> shortcuts;
  for (const char* name : {"Common Startup", "Common Desktop"}) {
    shortcuts.push_back(ShellFolder(kHkeyLocalMachine, name) + "\\Pictavo 6.lnk");
  }
  const std::string commonGroup = ShellFolder(kHkeyLocalMachine, "Common Programs") + "\\Pictavo 6";
  for (const std::string& sid : registry().UserSids()) {
    const std::string key = sid + "\\" + kShellFolders;
    for (const char* name : {"Startup", "Desktop"}) {
      shortcuts.push_back(registry().GetString(kHkeyUsers, key, name).value() + "\\Pictavo 6.lnk");
    }
  }
  for (const std::string& shortcut : shortcuts) {
    files().WriteFile(shortcut, "lnk");
  }
  files().WriteFile(commonGroup + "\\Pictavo 6.lnk", "lnk");
  files().WriteFile(commonGroup + "\\Help.lnk", "lnk");
  const std::string userGroup = ShellFolder(kHkeyCurrentUser, "Programs") + "\\Pictavo 6";
  files().WriteFile(userGroup + "\\Pictavo 6.lnk", "lnk");
  files().WriteFile(userGroup + "\\Sub\\kept.lnk", "lnk");
  const std::string otherGroup = ShellFolder(kHkeyCurrentUser, "Programs") + "\\My Group";
  files().WriteFile(otherGroup + "\\Pictavo 6.lnk", "lnk");

  RemoveFixedShortcuts(platform_, report_);

  for (const std::string& shortcut : shortcuts) {
    EXPECT_FALSE(files().Exists(shortcut)) << shortcut;
  }
  EXPECT_FALSE(files().Exists(commonGroup));
  EXPECT_FALSE(files().Exists(userGroup + "\\Pictavo 6.lnk"));
  EXPECT_TRUE(files().Exists(userGroup + "\\Sub\\kept.lnk"));   // only files are deleted
  EXPECT_TRUE(files().Exists(otherGroup + "\\Pictavo 6.lnk"));  // groups by other names stay
  EXPECT_EQ(registry().OpenHandles(), 0u);
}

TEST_F(UninstallRunTest, MissingOrOverlongShellFolderValuesAreSkipped) {
  const std::string desktop = ShellFolder(kHkeyCurrentUser, "Desktop") + "\\Pictavo 6.lnk";
  files().WriteFile(desktop, "lnk");
  registry().SetString(kHkeyCurrentUser, kShellFolders, "Startup", "");
  registry().SetString(kHkeyCurrentUser, kShellFolders, "Programs", "C:\\" + std::string(600, 'p'));
  RemoveFixedShortcuts(platform_, report_);
  EXPECT_FALSE(files().Exists(desktop));
}

TEST_F(UninstallRunTest, RunRemovesTheLoggedInstallationAndCanRunAgain) {
  const std::string folder = "C:\\Program Files\\Pictavo 6\\";
  const std::string programs = ShellFolder(kHkeyCurrentUser, "Programs");
  for (const char* name : {"Pictv6.exe", "readme.txt", "Samples\\a.dat"}) {
    files().WriteFile(folder + name, "x");
  }
  files().WriteFile(programs + "\\Pictavo 6\\Pictavo 6.lnk", "lnk");
  files().WriteFile(folder + "PictvUnInst.log",
                    "File Copy: Pictv6.exe\r\nFile Copy: readme.txt\r\nMake Dir: Samples\r\n"
                    "File Copy: Samples\\*.dat\r\n\r\nMade Dir: " +
                        programs + "\\Pictavo 6\r\nShell Link: " + programs +
                        "\\Pictavo 6\\Pictavo 6.lnk\r\n");
  registry().SetString(kHkeyLocalMachine, kProductKey, "Path", "C:\\Program Files\\Pictavo 6");
  const std::vector<std::string> before = files().AllPaths();

  RunUninstall(platform_, folder, report_);
  EXPECT_FALSE(files().Exists(folder));
  EXPECT_FALSE(files().Exists(programs + "\\Pictavo 6"));
  EXPECT_TRUE(files().Exists(programs));
  EXPECT_FALSE(registry().KeyExists(kHkeyLocalMachine, kProductKey));

  const std::vector<std::string> after = files().AllPaths();
  RunUninstall(platform_, folder, report_);
  EXPECT_EQ(files().AllPaths(), after);
  EXPECT_NE(before, after);
}

TEST_F(UninstallRunTest, UnloggedFilesAndTheOlderLogKeepTheFolder) {
  const std::string folder = "C:\\Program Files\\Pictavo 6\\";
  files().WriteFile(folder + "Pictv6.exe", "x");
  files().WriteFile(folder + "user-settings.ini", "x");
  files().WriteFile(folder + "install.log", "File Copy: Pictv6.exe\r\n");
  files().WriteFile(folder + "PictvUnInst.log", "File Copy: Pictv6.exe\r\n");
  RunUninstall(platform_, folder, report_);
  EXPECT_FALSE(files().Exists(folder + "Pictv6.exe"));
  EXPECT_FALSE(files().Exists(folder + "PictvUnInst.log"));
  EXPECT_TRUE(files().Exists(folder + "install.log"));
  EXPECT_TRUE(files().Exists(folder + "user-settings.ini"));
}

TEST_F(UninstallRunTest, FilesInUseGoAtTheNextStartWithTheirFoldersDeepestFirst) {
  const std::string folder = "C:\\Program Files\\Pictavo 6\\";
  files().WriteFile(folder + "Pictv6.exe", "x");
  files().WriteFile(folder + "Samples\\one.dat", "x");
  files().WriteFile(folder + "PictvUnInst.log",
                    "File Copy: Pictv6.exe\r\nMake Dir: Samples\r\nFile Copy: Samples\\*.dat\r\n");
  files().SetInUse(folder + "Samples\\one.dat", sim::InUse::NotRenamable);

  RunUninstall(platform_, folder, report_);

  EXPECT_TRUE(report_.Complete());
  EXPECT_TRUE(report_.NeedsRestart());
  EXPECT_FALSE(files().Exists(folder + "Pictv6.exe"));
  // The start deletes in the order of the calls: a folder goes only once it is empty.
  EXPECT_EQ(files().DelayedOperations(), (std::vector<sim::DelayedOperation>{
                                             {folder + "Samples\\one.dat", std::nullopt},
                                             {folder + "Samples", std::nullopt},
                                             {folder.substr(0, folder.size() - 1), std::nullopt}}));
  machine_.Reboot();
  EXPECT_FALSE(files().Exists(folder));
}

TEST_F(UninstallRunTest, WhatCanGoNeitherNowNorAtTheNextStartIsAShortfall) {
  const std::string folder = "C:\\Program Files\\Pictavo 6\\";
  files().WriteFile(folder + "Pictv6.exe", "x");
  files().WriteFile(folder + "PictvUnInst.log", "File Copy: Pictv6.exe\r\n");
  files().SetInUse(folder + "Pictv6.exe", sim::InUse::NotRenamable);
  machine_.Faults().Set(
      sim::Fault{.error = 5, .call = "MoveFileExA", .object = sim::kLocalMachine, .lasting = true});
  files().DenyChanges("C:\\WINDOWS");  // nor in WININIT.INI
  registry().SetString(kHkeyLocalMachine, kProductKey, "Path", "C:\\Program Files\\Pictavo 6");
  machine_.Faults().Add(sim::NoAdministratorRights());

  RunUninstall(platform_, folder, report_);

  EXPECT_FALSE(report_.Complete());
  EXPECT_EQ(report_.Count(Shortfall::Removal), 1);  // the file; its folder stays with it
  EXPECT_EQ(report_.Count(Shortfall::RegistryValue), 1);
}

// While anything of the product is left the entry stays, with the uninstaller it runs, so that
// the user can try again; it goes last, with the rest.
TEST_F(UninstallRunTest, TheEntryGoesLastAndOnlyWithEverythingElse) {
  const std::string folder = "C:\\Program Files\\Pictavo 6\\";
  const std::string entry = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictavo 6";
  const std::string appPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pictv6.exe";
  for (const bool fails : {true, false}) {
    SCOPED_TRACE(fails ? "the application path cannot be deleted" : "everything goes");
    files().WriteFile(folder + "Pictv6.exe", "x");
    files().WriteFile(folder + "PictvUnInst.log", "File Copy: Pictv6.exe\r\n");
    registry().SetString(kHkeyLocalMachine, entry, "UninstallString", folder + "PictvUnInst.exe");
    registry().SetString(kHkeyLocalMachine, appPath, "", folder + "Pictv6.exe");
    RunReport report;
    // The application path is the first thing the removal deletes.
    if (fails) {
      machine_.Faults().Set(sim::Fault{sim::Fault::Kind::Fail, 1, platform::kErrorAccessDenied});
    }
    RunUninstall(platform_, folder, report);
    machine_.Faults().Set(std::nullopt);
    EXPECT_EQ(report.Complete(), !fails);
    EXPECT_EQ(registry().KeyExists(kHkeyLocalMachine, appPath), fails);
    EXPECT_EQ(registry().KeyExists(kHkeyLocalMachine, entry), fails);
    EXPECT_FALSE(files().Exists(folder + "Pictv6.exe"));
  }
}

}  // namespace
