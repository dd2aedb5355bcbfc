// The simulated file calls where Wine cannot stand in for Windows, and the test knobs behind
// files in use, delayed operations and ini sections.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/file_system.h"
#include "platform/sim/user.h"

namespace {

using platform::kAttributeHidden;
using platform::kAttributeReadOnly;
using platform::kMoveFileDelayUntilReboot;
using platform::kMoveFileReplaceExisting;
using std::string_literals::operator""s;

class SimFileOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files_.WriteFile("C:\\Dir\\a.txt", "a");
    files_.WriteFile("C:\\Dir\\b.txt", "b");
  }
  sim::FileSystem files_;
};

TEST_F(SimFileOperationsTest, ReadOnlyOrHiddenTargetsAreNeitherOverwrittenNorReplaced) {
  // Windows refuses all of these; Wine lets them through, so they are pinned here only.
  files_.SetAttributes("C:\\Dir\\b.txt", kAttributeReadOnly);
  EXPECT_FALSE(files_.CopyFile("C:\\Dir\\a.txt", "C:\\Dir\\b.txt", false));
  EXPECT_FALSE(files_.MoveFileEx("C:\\Dir\\a.txt", "C:\\Dir\\b.txt", kMoveFileReplaceExisting));
  files_.SetAttributes("C:\\Dir\\b.txt", kAttributeHidden);
  EXPECT_FALSE(files_.CopyFile("C:\\Dir\\a.txt", "C:\\Dir\\b.txt", false));
  EXPECT_EQ(files_.ReadFile("C:\\Dir\\b.txt"), "b");
  EXPECT_EQ(files_.ReadFile("C:\\Dir\\a.txt"), "a");

  // A hidden target can be replaced by a rename all the same.
  EXPECT_TRUE(files_.MoveFileEx("C:\\Dir\\a.txt", "C:\\Dir\\b.txt", kMoveFileReplaceExisting));
  EXPECT_EQ(files_.ReadFile("C:\\Dir\\b.txt"), "a");
}

TEST_F(SimFileOperationsTest, RenamesKeepToOneDriveAndMayChangeOnlyTheCase) {
  EXPECT_TRUE(files_.MoveFileEx("C:\\Dir\\a.txt", "c:\\dir\\A.TXT", 0));
  EXPECT_EQ(files_.AllPaths()[2], "C:\\Dir\\A.TXT");

  files_.AddDrive('D');
  EXPECT_FALSE(files_.MoveFileEx("C:\\Dir\\b.txt", "D:\\b.txt", 0));
  EXPECT_FALSE(files_.MoveFileEx("C:\\Dir", "D:\\Dir", 0));
  EXPECT_TRUE(files_.Exists("C:\\Dir\\b.txt"));
  // Without a target and without the delay there is nothing to do but fail.
  EXPECT_FALSE(files_.MoveFileEx("C:\\Dir\\b.txt", std::nullopt, 0));
}

TEST_F(SimFileOperationsTest, CopiesTakeTheVersionAndReplaceUnderTheOldName) {
  files_.SetFileVersion("C:\\Dir\\a.txt", platform::FixedFileVersion{6, 1});
  files_.SetAttributes("C:\\Dir\\a.txt", kAttributeReadOnly);
  ASSERT_TRUE(files_.CopyFile("C:\\Dir\\a.txt", "C:\\Dir\\B.TXT", false));
  EXPECT_EQ(files_.FileVersion("C:\\Dir\\b.txt"), (platform::FixedFileVersion{6, 1}));
  EXPECT_EQ(files_.GetFileAttributes("C:\\Dir\\b.txt"), kAttributeReadOnly);
  EXPECT_EQ(files_.AllPaths()[3], "C:\\Dir\\b.txt");
}

TEST_F(SimFileOperationsTest, FileInUseCannotBeDeletedOrOverwrittenButRenamed) {
  files_.SetInUse("C:\\Dir\\a.txt", sim::InUse::NotDeletable);
  EXPECT_FALSE(files_.DeleteFile("C:\\Dir\\a.txt"));
  EXPECT_FALSE(files_.CopyFile("C:\\Dir\\b.txt", "C:\\Dir\\a.txt", false));
  EXPECT_FALSE(files_.MoveFileEx("C:\\Dir\\b.txt", "C:\\Dir\\a.txt", kMoveFileReplaceExisting));
  EXPECT_FALSE(files_.AppendText("C:\\Dir\\a.txt", "more"));
  EXPECT_EQ(files_.ReadFile("C:\\Dir\\a.txt"), "a");
  // The folder around it cannot move while the file is open, nor be emptied.
  EXPECT_FALSE(files_.MoveFileEx("C:\\Dir", "C:\\Moved", 0));

  // The hold goes with the file to its new name.
  ASSERT_TRUE(files_.MoveFileEx("C:\\Dir\\a.txt", "C:\\Dir\\c.txt", 0));
  EXPECT_FALSE(files_.DeleteFile("C:\\Dir\\c.txt"));
  EXPECT_TRUE(files_.CopyFile("C:\\Dir\\c.txt", "C:\\Dir\\copy.txt", true));

  files_.ReleaseEverything();
  EXPECT_TRUE(files_.DeleteFile("C:\\Dir\\c.txt"));
}

TEST_F(SimFileOperationsTest, FileInUseWithoutSharingCannotEvenBeRenamed) {
  files_.SetInUse("C:\\Dir\\a.txt", sim::InUse::NotRenamable);
  EXPECT_FALSE(files_.MoveFileEx("C:\\Dir\\a.txt", "C:\\Dir\\c.txt", 0));
  EXPECT_FALSE(files_.DeleteFile("C:\\Dir\\a.txt"));
  // Only the system start gets past it.
  EXPECT_TRUE(files_.MoveFileEx("C:\\Dir\\a.txt", std::nullopt, kMoveFileDelayUntilReboot));
  files_.ReleaseEverything();
  files_.CarryOutDelayedOperations();
  EXPECT_FALSE(files_.Exists("C:\\Dir\\a.txt"));

  files_.SetInUse("C:\\Dir\\b.txt", sim::InUse::None);
  EXPECT_TRUE(files_.DeleteFile("C:\\Dir\\b.txt"));
  EXPECT_THROW(files_.SetInUse("C:\\Dir\\b.txt", sim::InUse::NotDeletable), sim::ScriptError);
}

TEST_F(SimFileOperationsTest, DelayedOperationsWaitAndRunInCallOrder) {
  files_.SetCurrentFolder("C:\\Dir");
  ASSERT_TRUE(files_.MoveFileEx("b.txt", "C:\\Dir\\c.txt", kMoveFileDelayUntilReboot));
  ASSERT_TRUE(files_.MoveFileEx("C:\\Dir\\a.txt", std::nullopt, kMoveFileDelayUntilReboot));
  // The second rename finds c.txt taken by the first; without leave to replace it fails.
  files_.WriteFile("C:\\Dir\\d.txt", "d");
  files_.WriteFile("C:\\Dir\\e.txt", "e");
  ASSERT_TRUE(files_.MoveFileEx("d.txt", "c.txt", kMoveFileDelayUntilReboot));
  ASSERT_TRUE(
      files_.MoveFileEx("e.txt", "c.txt", kMoveFileDelayUntilReboot | kMoveFileReplaceExisting));
  EXPECT_EQ(files_.DelayedOperations(),
            (std::vector<sim::DelayedOperation>{{"C:\\Dir\\b.txt", "C:\\Dir\\c.txt"},
                                                {"C:\\Dir\\a.txt", std::nullopt},
                                                {"C:\\Dir\\d.txt", "C:\\Dir\\c.txt"},
                                                {"C:\\Dir\\e.txt", "C:\\Dir\\c.txt", true}}));
  EXPECT_EQ(files_.ReadFile("C:\\Dir\\a.txt"), "a");

  files_.CarryOutDelayedOperations();
  EXPECT_TRUE(files_.DelayedOperations().empty());
  EXPECT_FALSE(files_.Exists("C:\\Dir\\a.txt"));
  EXPECT_FALSE(files_.Exists("C:\\Dir\\b.txt"));
  EXPECT_EQ(files_.ReadFile("C:\\Dir\\d.txt"), "d");
  EXPECT_EQ(files_.ReadFile("C:\\Dir\\c.txt"), "e");
}

TEST_F(SimFileOperationsTest, RefusedDelayedOperationsLeaveNoTrace) {
  // Faults reach the calls of a process only.
  sim::FaultInjector faults;
  files_.SetFaults(&faults);
  files_.AddProcess(1, "C:\\");
  const sim::FileSystem::Acting acting(files_, 1);
  faults.Set(
      sim::Fault{.error = 5, .call = "MoveFileExA", .object = sim::kLocalMachine, .lasting = true});
  EXPECT_FALSE(files_.MoveFileEx("C:\\Dir\\a.txt", std::nullopt, kMoveFileDelayUntilReboot));
  EXPECT_EQ(files_.LastError(), 5u);
  EXPECT_FALSE(files_.MoveFileEx("C:\\Dir\\a.txt", "C:\\Dir\\c.txt", kMoveFileDelayUntilReboot));
  EXPECT_TRUE(files_.DelayedOperations().empty());
  // A path that leads nowhere shows before the refusal; a rename at once goes through.
  EXPECT_FALSE(files_.MoveFileEx("\\\\server\\a.txt", std::nullopt, kMoveFileDelayUntilReboot));
  EXPECT_EQ(files_.LastError(), 3u);
  EXPECT_TRUE(files_.MoveFileEx("C:\\Dir\\b.txt", "C:\\Dir\\c.txt", 0));
  faults.Set(std::nullopt);
  EXPECT_TRUE(files_.MoveFileEx("C:\\Dir\\a.txt", std::nullopt, kMoveFileDelayUntilReboot));
  EXPECT_EQ(files_.DelayedOperations().size(), 1u);
}

TEST_F(SimFileOperationsTest, TempFileNamesCountInUpperCaseHexAndSkipTakenNames) {
  files_.WriteFile("C:\\Temp\\uni1.tmp", "taken");
  const std::string first = files_.GetTempFileName("C:\\Temp", "uninstall");
  EXPECT_EQ(first, "C:\\Temp\\uni2.tmp");
  EXPECT_EQ(files_.ReadFile(first), "");
  for (int i = 3; i <= 10; ++i) {
    files_.GetTempFileName("C:\\Temp\\", "uni");
  }
  EXPECT_EQ(files_.GetTempFileName("C:\\Temp\\", "uni"), "C:\\Temp\\uniB.tmp");
  EXPECT_EQ(files_.ReadFile("C:\\Temp\\uni1.tmp"), "taken");
  EXPECT_EQ(files_.GetTempFileName("C:\\Temp\\uni1.tmp", "uni"), "");
}

TEST_F(SimFileOperationsTest, IniSectionsAsTheTestReadsThem) {
  files_.WriteFile("C:\\WINDOWS\\WININIT.INI",
                   "[Other]\r\nk=v\r\n[rename]\r\n NUL = C:\\x.tmp \r\nC:\\a=C:\\b\r\n");
  EXPECT_EQ(
      files_.ProfileSection("WININIT.INI", "RENAME"),
      (std::vector<std::pair<std::string, std::string>>{{"NUL", "C:\\x.tmp"}, {"C:\\a", "C:\\b"}}));
  std::string lines;
  EXPECT_EQ(files_.GetPrivateProfileSection("rename", 100, "wininit.ini", lines), 23u);
  EXPECT_EQ(lines, "NUL=C:\\x.tmp\0C:\\a=C:\\b\0"s);
  EXPECT_FALSE(files_.ProfileSection("WININIT.INI", "missing"));
  EXPECT_FALSE(files_.ProfileSection("C:\\none.ini", "rename"));

  files_.RemoveProfileSection("C:\\WINDOWS\\WININIT.INI", "rename");
  EXPECT_EQ(files_.ReadFile("C:\\WINDOWS\\WININIT.INI"), "[Other]\r\nk=v\r\n");
}

TEST_F(SimFileOperationsTest, IniWritesNeedAWritableFileInAnExistingFolder) {
  EXPECT_FALSE(files_.WritePrivateProfileSection("s", "a=1\0\0"s, "C:\\Missing\\x.ini"));
  files_.WriteFile("C:\\Dir\\x.ini", "");
  files_.SetAttributes("C:\\Dir\\x.ini", kAttributeReadOnly);
  EXPECT_FALSE(files_.WritePrivateProfileSection("s", "a=1\0\0"s, "C:\\Dir\\x.ini"));
  files_.SetAttributes("C:\\Dir\\x.ini", 0);
  // Lines without "=" are no entries and are dropped.
  EXPECT_TRUE(files_.WritePrivateProfileSection("s", "a=1\0junk\0b=\0\0"s, "C:\\Dir\\x.ini"));
  EXPECT_EQ(files_.ReadFile("C:\\Dir\\x.ini"), "[s]\r\na=1\r\nb=\r\n");
  // An empty list leaves the section with no lines.
  EXPECT_TRUE(files_.WritePrivateProfileSection("S", "\0"s, "C:\\Dir\\x.ini"));
  EXPECT_EQ(files_.ReadFile("C:\\Dir\\x.ini"), "[s]\r\n");
}

TEST_F(SimFileOperationsTest, TinyBuffersForASection) {
  files_.WriteFile("C:\\x.ini", "[s]\r\nab=1\r\n");
  std::string lines;
  EXPECT_EQ(files_.GetPrivateProfileSection("s", 7, "C:\\x.ini", lines), 5u);
  EXPECT_EQ(files_.GetPrivateProfileSection("s", 6, "C:\\x.ini", lines), 4u);
  EXPECT_EQ(lines, "ab=1");
  EXPECT_EQ(files_.GetPrivateProfileSection("s", 2, "C:\\x.ini", lines), 0u);
  EXPECT_EQ(files_.GetPrivateProfileSection("s", 0, "C:\\x.ini", lines), 0u);
  EXPECT_EQ(lines, "");
}

TEST_F(SimFileOperationsTest, SnapshotShowsContentsAttributesAndVersions) {
  const std::vector<std::string> before = files_.Snapshot();
  EXPECT_EQ(before, files_.Snapshot());

  files_.WriteFile("C:\\Dir\\a.txt", "A");  // same size, other contents
  const std::vector<std::string> changed = files_.Snapshot();
  EXPECT_NE(before, changed);
  files_.WriteFile("C:\\Dir\\a.txt", "a");
  EXPECT_EQ(before, files_.Snapshot());

  files_.SetAttributes("C:\\Dir\\a.txt", kAttributeHidden);
  EXPECT_NE(before, files_.Snapshot());
  files_.SetAttributes("C:\\Dir\\a.txt", platform::kAttributeArchive);
  files_.SetFileVersion("C:\\Dir\\a.txt", platform::FixedFileVersion{1, 2});
  EXPECT_NE(before, files_.Snapshot());
  files_.SetFileVersion("C:\\Dir\\a.txt", std::nullopt);
  files_.CreateFolders("C:\\Dir\\Empty");
  EXPECT_NE(before, files_.Snapshot());
  files_.Remove("C:\\Dir\\Empty");
  EXPECT_EQ(before, files_.Snapshot());
}

}  // namespace
