#include <gtest/gtest.h>

#include "engine/log_replay.h"
#include "platform/sim/machine.h"

namespace {

constexpr char kFolder[] = "C:\\Program Files\\Pictavo 6";
constexpr char kLog[] = "C:\\Program Files\\Pictavo 6\\PictvUnInst.log";

class LogReplayTest : public ::testing::Test {
 protected:
  void Write(const std::string& relative) {
    machine_.Files().WriteFile(std::string(kFolder) + "\\" + relative, "x");
  }
  bool Exists(const std::string& path) {
    return machine_.Files().Exists(
        path.find(':') == std::string::npos ? std::string(kFolder) + "\\" + path : path);
  }
  void Log(const std::string& lines) { machine_.Files().WriteFile(kLog, lines); }
  std::string ShellFolder(platform::RegistryKey root, const char* name) {
    return machine_.Registry()
        .GetString(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                   name)
        .value();
  }
  void ReplayFiles(std::optional<LogRecordKind> kind = std::nullopt) {
    ReplayFileRecords(platform_, kLog, kFolder, kind, report_);
  }

  sim::Machine machine_;
  RunReport report_;
  platform::Platform& platform_ =
      machine_.Processes().Start({"C:\\Temp\\uni1.tmp", {}, {}}).GetPlatform();
};

TEST(RemovalFileSpecTest, RemarkIsCutBeforeTheRenameIsRead) {
  EXPECT_EQ(RemovalFileSpec("Pictv6.exe"), "Pictv6.exe");
  EXPECT_EQ(RemovalFileSpec("a.dat>b.dat"), "b.dat");
  EXPECT_EQ(RemovalFileSpec("a.dat >  b.dat | note"), "b.dat");
  EXPECT_EQ(RemovalFileSpec("a.dat>\t sub\\b.dat"), "sub\\b.dat");
  EXPECT_EQ(RemovalFileSpec("a.dat | note>c.dat"), "a.dat");
  EXPECT_EQ(RemovalFileSpec("setup.exe>PictvUnInst.exe"), "PictvUnInst.exe");
  EXPECT_EQ(RemovalFileSpec("Samples\\*.dat"), "Samples\\*.dat");
  EXPECT_EQ(RemovalFileSpec("a>b>c"), "b>c");
}

TEST(RemovalFileSpecTest, SpecsThatLeaveTheInstallFolderAreRefused) {
  for (const char* spec :
       {"C:\\WINDOWS\\system32\\*.dll", "c:x.dll", "\\WINDOWS\\win.ini", "/etc/x",
        "\\\\server\\share\\x", "..\\other.dll", "Samples\\..\\..\\x.dll", "..", "a/../../b",
        "x.dat>..\\y.dat", "x>C:\\boot.ini", "file.txt:stream"}) {
    EXPECT_EQ(RemovalFileSpec(spec), "") << spec;
  }
  EXPECT_EQ(RemovalFileSpec("..name.dat"), "..name.dat");
  EXPECT_EQ(RemovalFileSpec("a..b\\c"), "a..b\\c");
}

TEST_F(LogReplayTest, FileRecordsOfEveryKindDeleteByNameInTheInstallFolder) {
  for (const char* name : {"Pictv6.exe", "hook64.dll", "msvcr.dll", "over.dat", "old.dll", "b.dat",
                           "a.dat", "Samples\\1.dat", "Samples\\2.dat", "keep.txt"}) {
    Write(name);
  }
  Log("File Copy: Pictv6.exe\r\nFile Copy x64: hook64.dll\r\nFile Copy ind: msvcr.dll\r\n"
      "File Overwrite: over.dat\r\nFile Del: old.dll\r\nFile Copy: a.dat >  b.dat | note\r\n"
      "File Copy: Samples\\*.dat\r\n");
  ReplayFiles();
  for (const char* gone : {"Pictv6.exe", "hook64.dll", "msvcr.dll", "over.dat", "old.dll", "b.dat",
                           "Samples\\1.dat", "Samples\\2.dat"}) {
    EXPECT_FALSE(Exists(gone)) << gone;
  }
  EXPECT_TRUE(Exists("a.dat"));
  EXPECT_TRUE(Exists("keep.txt"));
}

TEST_F(LogReplayTest, KindLimitsTheFirstPassOnly) {
  Write("copied.dll");
  Write("obsolete.dll");
  machine_.Files().CreateFolders(std::string(kFolder) + "\\Empty");
  Log("File Copy: copied.dll\r\nFile Del: obsolete.dll\r\nMake Dir: Empty\r\n");
  ReplayFiles(LogRecordKind::FileDel);
  EXPECT_TRUE(Exists("copied.dll"));
  EXPECT_FALSE(Exists("obsolete.dll"));
  EXPECT_FALSE(Exists("Empty"));
}

TEST_F(LogReplayTest, MakeDirRecordsRemoveEachFolderOnceAtItsOwnLine) {
  machine_.Files().CreateFolders(std::string(kFolder) + "\\a\\b");
  machine_.Files().CreateFolders(std::string(kFolder) + "\\Full");
  Write("Full\\stays.txt");
  Log("Make Dir: a\r\nMake Dir: a\\b\r\nMake Dir: Full\r\n");
  ReplayFiles();
  EXPECT_FALSE(Exists("a\\b"));
  EXPECT_TRUE(Exists("a"));
  EXPECT_TRUE(Exists("Full\\stays.txt"));
  // A folder given with its trailing backslash joins with a doubled one, read as one.
  ReplayFileRecords(platform_, kLog, std::string(kFolder) + "\\", std::nullopt, report_);
  EXPECT_FALSE(Exists("a"));
}

TEST_F(LogReplayTest, LinesThatAreNoRecordsDeleteNothing) {
  Write("x.dll");
  Log(" File Del: x.dll\r\nfile del: x.dll\r\nFILE COPY: x.dll\r\nFile Del:x.dll\r\n");
  ReplayFiles();
  EXPECT_TRUE(Exists("x.dll"));
}

TEST_F(LogReplayTest, RecordsReachingOutsideTheFolderDeleteNothing) {
  machine_.Files().WriteFile("C:\\WINDOWS\\system32\\kernel.dll", "x");
  machine_.Files().WriteFile("C:\\Program Files\\Other\\other.dll", "x");
  machine_.Files().WriteFile("C:\\Users\\User\\Documents\\notes.txt", "x");
  Log("File Copy: C:\\WINDOWS\\system32\\*.dll\r\nFile Del: ..\\Other\\*.dll\r\n"
      "File Copy: x>\\WINDOWS\\system32\\kernel.dll\r\n"
      "Shell Link: C:\\Users\\User\\Documents\\notes.txt\r\n");
  ReplayFiles();
  ReplayShellRecords(platform_, kLog, report_);
  EXPECT_TRUE(Exists("C:\\WINDOWS\\system32\\kernel.dll"));
  EXPECT_TRUE(Exists("C:\\Program Files\\Other\\other.dll"));
  EXPECT_TRUE(Exists("C:\\Users\\User\\Documents\\notes.txt"));
}

TEST_F(LogReplayTest, ShellLinksGoFromTheShortcutPlacesButReadOnlyOnesStay) {
  const std::string group =
      ShellFolder(platform::kHkeyLocalMachine, "Common Programs") + "\\Pictavo 6";
  const std::string desktop = ShellFolder(platform::kHkeyCurrentUser, "Desktop");
  const std::string documents = "C:\\Users\\User\\Documents";
  for (const std::string& path :
       {group + "\\Pictavo 6.lnk", group + "\\Help.LNK", desktop + "\\Pictavo 6.lnk",
        desktop + "\\Old.pif", desktop + "\\Site.url", documents + "\\Holiday.lnk",
        documents + "\\Trip.lnk"}) {
    machine_.Files().WriteFile(path, "x");
  }
  machine_.Files().SetAttributes(desktop + "\\Pictavo 6.lnk", platform::kAttributeReadOnly);
  Log("Shell Link: " + group + "\\Pictavo 6.lnk\r\nShell Link: " + group + "\\Help.LNK\r\n" +
      "Shell Link: " + desktop + "\\Pictavo 6.lnk\r\nShell Link: " + desktop + "\\Old.pif\r\n" +
      "Shell Link: " + desktop + "\\Site.url\r\nShell Link: " + documents + "\\Holiday.lnk\r\n" +
      "Shell Link: " + desktop + "\\..\\Documents\\Trip.lnk\r\n");
  ReplayShellRecords(platform_, kLog, report_);
  EXPECT_FALSE(Exists(group + "\\Pictavo 6.lnk"));
  EXPECT_FALSE(Exists(group + "\\Help.LNK"));
  EXPECT_FALSE(Exists(desktop + "\\Old.pif"));
  EXPECT_FALSE(Exists(desktop + "\\Site.url"));
  EXPECT_TRUE(Exists(desktop + "\\Pictavo 6.lnk"));
  // Shortcuts the installation never puts there, reached directly or by climbing out.
  EXPECT_TRUE(Exists(documents + "\\Holiday.lnk"));
  EXPECT_TRUE(Exists(documents + "\\Trip.lnk"));
}

TEST_F(LogReplayTest, MadeDirWalksUpWhileFoldersComeAwayEmpty) {
  const std::string programs = ShellFolder(platform::kHkeyCurrentUser, "Programs");
  machine_.Files().CreateFolders(programs + "\\Vendor\\Group");
  machine_.Files().CreateFolders(programs + "\\Other\\Group");
  machine_.Files().WriteFile(programs + "\\Other\\Other.lnk", "x");
  machine_.Files().CreateFolders("C:\\Solo\\Only");
  Log("Made Dir: " + programs + "\\Vendor\\Group\r\nMade Dir: " + programs +
      "\\Gone\\Never\r\nMade Dir: " + programs + "\\Other\\Group\r\nMade Dir: C:\\Solo\\Only\r\n");
  ReplayShellRecords(platform_, kLog, report_);
  EXPECT_FALSE(Exists(programs + "\\Vendor"));
  EXPECT_FALSE(Exists(programs + "\\Other\\Group"));
  EXPECT_TRUE(Exists(programs + "\\Other\\Other.lnk"));
  EXPECT_TRUE(Exists(programs));
  // A group lies in a program menu: an empty folder elsewhere is no group of the product's.
  EXPECT_TRUE(Exists("C:\\Solo\\Only"));
}

TEST_F(LogReplayTest, FolderRecordsNeverRemoveFoldersOutsideTheirPlace) {
  // Empty and removable, yet none of them may go: the all-users desktop, the user's startup
  // folder, a folder above the start menu, and folders outside the install folder.
  const std::string desktop = "C:\\Users\\Public\\Desktop";
  const std::string startup =
      "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
  for (const std::string& folder : {desktop, startup, std::string("C:\\Program Files\\Outside"),
                                    std::string("C:\\Elsewhere")}) {
    machine_.Files().CreateFolders(folder);
  }
  machine_.Files().Remove("C:\\ProgramData\\Microsoft\\Windows\\Start Menu");
  machine_.Files().CreateFolders(
      "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Group");
  // The startup folder under other spellings too: a final dot, a blank, a "." step.
  Log("Made Dir: " + desktop + "\r\nMade Dir: " + startup + ".\r\nMade Dir: " + startup +
      " \r\nMade Dir: " + startup + "\\.\r\nMade Dir: " + startup +
      "\r\nMade Dir: C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Group\r\n"
      "Make Dir: ..\\Outside\r\nMake Dir: C:\\Elsewhere\r\n");
  ReplayShellRecords(platform_, kLog, report_);
  ReplayFiles();
  EXPECT_TRUE(Exists(desktop));
  EXPECT_TRUE(Exists(startup));
  EXPECT_FALSE(Exists("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Group"));
  EXPECT_TRUE(Exists("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"));
  EXPECT_TRUE(Exists("C:\\Program Files\\Outside"));
  EXPECT_TRUE(Exists("C:\\Elsewhere"));
}

TEST_F(LogReplayTest, MissingLogDoesNothing) {
  Write("Pictv6.exe");
  ReplayFiles();
  ReplayShellRecords(platform_, kLog, report_);
  EXPECT_TRUE(Exists("Pictv6.exe"));
}

}  // namespace
