// The simulated file system beyond what the conformance suite can show on Wine: the test's own
// side, and the Windows behaviours Wine does not reproduce.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/machine.h"

namespace {

using platform::kAttributeArchive;
using platform::kAttributeDirectory;
using platform::kAttributeHidden;
using platform::kAttributeNormal;
using platform::kAttributeReadOnly;
using platform::kInvalidFileAttributes;

class SimFilesTest : public ::testing::Test {
 protected:
  // The paths on one drive, from AllPaths.
  std::vector<std::string> PathsOn(char drive) {
    std::vector<std::string> paths = files_.AllPaths();
    paths.erase(std::remove_if(paths.begin(), paths.end(),
                               [&](const std::string& path) { return path[0] != drive; }),
                paths.end());
    return paths;
  }

  std::vector<std::string> Names(const std::string& pattern) {
    std::vector<std::string> names;
    for (const platform::FoundFile& found : files_.FindFiles(pattern)) {
      names.push_back(found.name);
    }
    return names;
  }

  sim::FileSystem files_;
};

TEST_F(SimFilesTest, LayingDownCreatesFoldersAndDrivesAndListsThemInNameOrder) {
  files_.WriteFile("D:\\Dist\\setup.exe", "MZ");
  files_.WriteFile("d:/dist/Agreement.txt", "text");
  files_.CreateFolders("D:\\b\\c\\");
  files_.WriteFile("D:\\A.txt", "");

  EXPECT_EQ(PathsOn('D'),
            (std::vector<std::string>{"D:\\", "D:\\A.txt", "D:\\b\\", "D:\\b\\c\\", "D:\\Dist\\",
                                      "D:\\Dist\\Agreement.txt", "D:\\Dist\\setup.exe"}));
  EXPECT_TRUE(files_.Exists("d:\\DIST"));
  EXPECT_EQ(files_.ReadFile("D:\\DIST\\AGREEMENT.TXT"), "text");
  EXPECT_EQ(files_.ReadFile("D:\\Dist"), std::nullopt);
  EXPECT_EQ(files_.ReadFile("D:\\Dist\\missing"), std::nullopt);
  EXPECT_EQ(files_.GetFileAttributes("D:\\Dist\\setup.exe"), kAttributeArchive);
  EXPECT_EQ(files_.GetFileAttributes("D:\\"), kAttributeDirectory);
  EXPECT_EQ(files_.GetFileAttributes("E:\\"), kInvalidFileAttributes);
}

TEST_F(SimFilesTest, LayingDownThroughAFileOrOverAFolderIsAScriptError) {
  files_.WriteFile("C:\\a\\file", "");
  EXPECT_THROW(files_.WriteFile("C:\\a", ""), sim::ScriptError);
  EXPECT_THROW(files_.CreateFolders("C:\\a\\file\\sub"), sim::ScriptError);
  EXPECT_THROW(files_.WriteFile("C:\\a\\file\\x.txt", ""), sim::ScriptError);
  EXPECT_THROW(files_.WriteFile("C:\\", ""), sim::ScriptError);
  EXPECT_THROW(files_.WriteFile("C:\\a\\b*c", ""), sim::ScriptError);
  EXPECT_THROW(files_.SetAttributes("C:\\missing", kAttributeHidden), sim::ScriptError);
  EXPECT_THROW(files_.SetFileVersion("C:\\a", std::nullopt), sim::ScriptError);
  EXPECT_EQ(files_.ReadFile("C:\\a\\file"), "");
}

TEST_F(SimFilesTest, AttributesAreReportedAsWindowsReportsThem) {
  files_.WriteFile("C:\\f.txt", "x");
  files_.CreateFolders("C:\\folder");

  files_.SetAttributes("C:\\f.txt", kAttributeNormal);
  EXPECT_EQ(files_.GetFileAttributes("C:\\f.txt"), kAttributeNormal);
  // Rewriting a file keeps its attributes; appending marks it for backup again.
  files_.WriteFile("C:\\f.txt", "y");
  EXPECT_EQ(files_.GetFileAttributes("C:\\f.txt"), kAttributeNormal);
  ASSERT_TRUE(files_.AppendText("C:\\f.txt", "z"));
  EXPECT_EQ(files_.GetFileAttributes("C:\\f.txt"), kAttributeArchive);

  // The directory bit belongs to the machine: a test can neither give it nor take it away.
  files_.SetAttributes("C:\\f.txt", kAttributeDirectory | kAttributeReadOnly);
  EXPECT_EQ(files_.GetFileAttributes("C:\\f.txt"), kAttributeReadOnly);
  files_.SetAttributes("C:\\folder", kAttributeHidden);
  EXPECT_EQ(files_.GetFileAttributes("C:\\folder"), kAttributeDirectory | kAttributeHidden);
  EXPECT_EQ(files_.FindFiles("C:\\fold*").at(0).attributes, kAttributeDirectory | kAttributeHidden);
}

TEST_F(SimFilesTest, AppendingToAReadOnlyFileFailsAsOnWindows) {
  files_.WriteFile("C:\\log.txt", "keep");
  files_.SetAttributes("C:\\log.txt", kAttributeReadOnly);
  EXPECT_FALSE(files_.AppendText("C:\\log.txt", "more\n"));
  EXPECT_EQ(files_.ReadFile("C:\\log.txt"), "keep");
  // Hidden files take appends.
  files_.SetAttributes("C:\\log.txt", kAttributeHidden);
  EXPECT_TRUE(files_.AppendText("C:\\log.txt", "more\n"));
  EXPECT_EQ(files_.ReadFile("C:\\log.txt"), "keepmore\r\n");
}

TEST_F(SimFilesTest, AppendedTextEndsAtAZeroByte) {
  ASSERT_TRUE(files_.AppendText("C:\\log.txt", std::string("ab\0cd\n", 6)));
  EXPECT_EQ(files_.ReadFile("C:\\log.txt"), "ab");
}

TEST_F(SimFilesTest, TinyReadBuffersBehaveAsMsvcrtsFgets) {
  files_.WriteFile("C:\\t.txt", "ab");
  std::unique_ptr<platform::TextFile> file = files_.OpenTextFile("C:\\t.txt");
  ASSERT_TRUE(file);
  EXPECT_EQ(file->ReadLine(0), std::nullopt);
  // Room for the terminating zero only: an empty text, and nothing consumed.
  EXPECT_EQ(file->ReadLine(1), "");
  EXPECT_EQ(file->ReadLine(2), "a");
  EXPECT_EQ(file->ReadLine(2), "b");
  EXPECT_EQ(file->ReadLine(2), std::nullopt);
}

TEST_F(SimFilesTest, FileVersionsFollowTheFileWhateverTheCaseOfItsPath) {
  sim::FileVersions versions(files_);
  files_.WriteFile("C:\\P\\Pictv6.exe", "MZ");
  EXPECT_EQ(versions.GetFixedFileVersion("C:\\P\\Pictv6.exe"), std::nullopt);

  files_.SetFileVersion("c:\\p\\PICTV6.EXE", platform::FixedFileVersion{0x00060001, 0x00020003});
  EXPECT_EQ(versions.GetFixedFileVersion("C:/P/pictv6.exe"),
            (platform::FixedFileVersion{0x00060001, 0x00020003}));
  // Rewriting the bytes keeps the resource; removing the file takes it along.
  files_.WriteFile("C:\\P\\Pictv6.exe", "MZ2");
  EXPECT_TRUE(versions.GetFixedFileVersion("C:\\P\\Pictv6.exe"));
  files_.Remove("C:\\P\\Pictv6.exe");
  EXPECT_EQ(versions.GetFixedFileVersion("C:\\P\\Pictv6.exe"), std::nullopt);
  files_.WriteFile("C:\\P\\Pictv6.exe", "MZ");
  EXPECT_EQ(versions.GetFixedFileVersion("C:\\P\\Pictv6.exe"), std::nullopt);
}

TEST_F(SimFilesTest, RemoveTakesAWholeTreeWhateverItsAttributes) {
  files_.WriteFile("C:\\Tree\\a\\locked.txt", "");
  files_.SetAttributes("C:\\Tree\\a\\locked.txt", kAttributeReadOnly);
  files_.Remove("c:\\tree");
  EXPECT_FALSE(files_.Exists("C:\\Tree"));
  files_.Remove("C:\\Tree");
  files_.Remove("C:\\");
  EXPECT_TRUE(files_.Exists("C:\\"));
}

TEST_F(SimFilesTest, RelativePathsStartAtTheCurrentFolder) {
  files_.WriteFile("C:\\Work\\file.txt", "w");
  files_.WriteFile("C:\\file.txt", "root");
  files_.WriteFile("D:\\file.txt", "d");

  EXPECT_EQ(files_.ReadFile("file.txt"), "root");
  files_.SetCurrentFolder("c:\\work\\");
  EXPECT_EQ(files_.ReadFile("file.txt"), "w");
  EXPECT_EQ(files_.ReadFile(".\\file.txt"), "w");
  EXPECT_EQ(files_.ReadFile("C:file.txt"), "w");
  EXPECT_EQ(files_.ReadFile("..\\file.txt"), "root");
  EXPECT_EQ(files_.ReadFile("\\file.txt"), "root");
  EXPECT_EQ(files_.ReadFile("D:file.txt"), "d");
  // ".." never climbs above a drive's root.
  EXPECT_EQ(files_.ReadFile("C:\\..\\..\\Work\\file.txt"), "w");
  EXPECT_EQ(files_.GetFileAttributes("\\\\server\\share\\file.txt"), kInvalidFileAttributes);
  EXPECT_EQ(files_.GetFileAttributes(""), kInvalidFileAttributes);
  EXPECT_THROW(files_.SetCurrentFolder("C:\\Work\\file.txt"), sim::ScriptError);
}

TEST_F(SimFilesTest, DriveRootsCannotBeRemovedAndHaveNoDotEntries) {
  files_.WriteFile("C:\\only.txt", "");
  EXPECT_EQ(Names("C:\\*"), (std::vector<std::string>{"only.txt"}));
  EXPECT_FALSE(files_.RemoveDirectory("C:\\"));
  EXPECT_FALSE(files_.CreateDirectory("C:\\"));
  EXPECT_TRUE(Names("C:\\").empty());
  EXPECT_FALSE(files_.CreateDirectory("C:\\bad?name"));
}

TEST_F(SimFilesTest, FullDriveCutsWhatIsWrittenAndFailsWithDiskFull) {
  using Call = std::function<bool(platform::FileSystem&)>;
  const Call copy = [](platform::FileSystem& f) {
    return f.CopyFile("D:\\src.bin", "D:\\copy.bin", false);
  };
  const Call append = [](platform::FileSystem& f) { return f.AppendText("D:\\old.txt", "ab\ncd"); };
  const Call section = [](platform::FileSystem& f) {
    return f.WritePrivateProfileSection("s", std::string("k=v\0", 4), "D:\\old.txt");
  };
  struct Case {
    const char* scene;
    std::uint64_t capacity;  // of D:, which holds 14 bytes before the call
    Call call;
    bool succeeds;
    const char* file;  // the file the call writes, and what it holds afterwards
    std::string contents;
  };
  const std::vector<Case> cases = {
      {"a copy that fits exactly", 24, copy, true, "D:\\copy.bin", "0123456789"},
      {"a copy one byte too big", 23, copy, false, "D:\\copy.bin", "012345678"},
      {"a copy onto a full drive", 14, copy, false, "D:\\copy.bin", ""},
      // The replaced file's own bytes are free again.
      {"a copy over a file", 20,
       [](platform::FileSystem& f) { return f.CopyFile("D:\\src.bin", "D:\\old.txt", false); },
       true, "D:\\old.txt", "0123456789"},
      {"a copy to another drive", 14,
       [](platform::FileSystem& f) { return f.CopyFile("D:\\src.bin", "C:\\copy.bin", false); },
       true, "C:\\copy.bin", "0123456789"},
      // A line feed takes two bytes on the disk.
      {"an append that fits", 20, append, true, "D:\\old.txt", "abcdab\r\ncd"},
      {"an append cut", 18, append, false, "D:\\old.txt", "abcdab\r\n"},
      {"an append to a new file on a full drive", 14,
       [](platform::FileSystem& f) { return f.AppendText("D:\\new.txt", "x"); }, false,
       "D:\\new.txt", ""},
      // The file is written anew with its other lines: 16 bytes in place of 4.
      {"a section that fits", 26, section, true, "D:\\old.txt", "abcd\r\n[s]\r\nk=v\r\n"},
      {"a section cut", 20, section, false, "D:\\old.txt", "abcd\r\n[s]\r"},
  };
  for (const Case& c : cases) {
    sim::FileSystem files;
    files.WriteFile("D:\\src.bin", "0123456789");
    files.WriteFile("D:\\old.txt", "abcd");
    files.SetDriveCapacity('d', c.capacity);
    ASSERT_EQ(files.UsedBytes('D'), 14u) << c.scene;
    EXPECT_EQ(c.call(files), c.succeeds) << c.scene;
    EXPECT_EQ(files.ReadFile(c.file), c.contents) << c.scene;
    EXPECT_LE(files.UsedBytes('D'), c.capacity) << c.scene;
    if (!c.succeeds) {
      EXPECT_EQ(files.LastError(), static_cast<unsigned>(platform::kErrorDiskFull)) << c.scene;
      EXPECT_EQ(files.UsedBytes('D'), c.capacity) << c.scene << ": as much as fits is written";
    }
  }
}

TEST_F(SimFilesTest, FullDriveStillTakesFoldersAndCutsNoVersionOrFileIntoIt) {
  files_.WriteFile("D:\\Setup\\Pictv6.exe", "MZ program");
  files_.SetFileVersion("D:\\Setup\\Pictv6.exe", platform::FixedFileVersion{0x00060001, 0});
  files_.SetDriveCapacity('D', 12);
  EXPECT_TRUE(files_.CreateDirectory("D:\\Empty"));
  EXPECT_TRUE(files_.CopyFile("D:\\Setup\\Pictv6.exe", "C:\\Pictv6.exe", false));
  EXPECT_TRUE(files_.FileVersion("C:\\Pictv6.exe"));
  // A cut program file has no version to read: 4 bytes fit beside the first copy.
  files_.SetDriveCapacity('C', 14);
  EXPECT_FALSE(files_.CopyFile("D:\\Setup\\Pictv6.exe", "C:\\Cut.exe", false));
  EXPECT_EQ(files_.ReadFile("C:\\Cut.exe"), "MZ p");
  EXPECT_EQ(files_.FileVersion("C:\\Cut.exe"), std::nullopt);
  // The test lays down what it likes; the program then finds the drive full.
  files_.WriteFile("D:\\big.bin", std::string(100, 'b'));
  EXPECT_FALSE(files_.AppendText("D:\\log.txt", "x"));
  files_.SetDriveCapacity('D', std::nullopt);
  EXPECT_TRUE(files_.AppendText("D:\\log.txt", "x"));
  EXPECT_THROW(files_.SetDriveCapacity('1', 0), sim::ScriptError);
}

TEST_F(SimFilesTest, DeniedFolderRefusesEveryChangeInOrBelowItAndStillReads) {
  files_.WriteFile("C:\\Media\\file.txt", "media");
  files_.WriteFile("C:\\Media\\sub\\inner.txt", "inner");
  files_.CreateFolders("C:\\Media\\empty");
  files_.WriteFile("C:\\MediaPlus\\beside.txt", "beside");
  files_.WriteFile("C:\\Free\\source.txt", "source");
  files_.DenyChanges("c:\\media\\", platform::kErrorWriteProtect);
  const std::vector<std::string> before = files_.AllPaths();
  const std::string section("a=b\0", 4);

  struct Case {
    const char* call;
    std::function<bool()> succeeds;
    long error;  // kErrorSuccess: the call succeeds
  };
  const std::vector<Case> cases = {
      {"CreateDirectory in it", [&] { return files_.CreateDirectory("C:\\Media\\new"); }, 19},
      {"RemoveDirectory in it", [&] { return files_.RemoveDirectory("C:\\Media\\empty"); }, 19},
      {"RemoveDirectory of itself", [&] { return files_.RemoveDirectory("C:\\Media"); }, 19},
      {"MoveFileEx of itself", [&] { return files_.MoveFileEx("C:\\Media", "C:\\Moved", 0); }, 19},
      {"MoveFileEx out of it",
       [&] { return files_.MoveFileEx("C:\\Media\\file.txt", "C:\\Free\\file.txt", 0); }, 19},
      {"MoveFileEx into it",
       [&] { return files_.MoveFileEx("C:\\Free\\source.txt", "C:\\Media\\source.txt", 0); }, 19},
      {"DeleteFile in it, spelled in other letters",
       [&] { return files_.DeleteFile("C:\\MEDIA\\File.txt"); }, 19},
      {"CopyFile into it",
       [&] { return files_.CopyFile("C:\\Free\\source.txt", "C:\\Media\\copy.txt", false); }, 19},
      {"SetFileAttributes in it",
       [&] { return files_.SetFileAttributes("C:\\Media\\file.txt", kAttributeHidden); }, 19},
      {"AppendText below it",
       [&] { return files_.AppendText("C:\\Media\\sub\\inner.txt", "more"); }, 19},
      {"WritePrivateProfileSection in it",
       [&] { return files_.WritePrivateProfileSection("s", section, "C:\\Media\\x.ini"); }, 19},
      {"GetTempFileName in it", [&] { return !files_.GetTempFileName("C:\\Media", "uni").empty(); },
       19},
      // What is missing or taken is found first.
      {"DeleteFile of a missing file", [&] { return files_.DeleteFile("C:\\Media\\gone"); }, 2},
      {"CreateDirectory of an existing folder",
       [&] { return files_.CreateDirectory("C:\\Media\\sub"); }, 183},
      // Reading goes on, and what lies beside it is free.
      {"CopyFile out of it",
       [&] { return files_.CopyFile("C:\\Media\\file.txt", "C:\\Free\\copy.txt", false); }, 0},
      {"ReadWholeFile in it",
       [&] { return files_.ReadWholeFile("C:\\Media\\file.txt") == "media"; }, 0},
      {"AppendText in a folder whose name begins alike",
       [&] { return files_.AppendText("C:\\MediaPlus\\beside.txt", "!"); }, 0},
  };
  for (const Case& c : cases) {
    files_.SetLastError(0);
    EXPECT_EQ(c.succeeds(), c.error == platform::kErrorSuccess) << c.call;
    EXPECT_EQ(files_.LastError(), static_cast<unsigned>(c.error)) << c.call;
  }
  std::vector<std::string> after = files_.AllPaths();
  std::erase(after, "C:\\Free\\copy.txt");
  EXPECT_EQ(after, before);
  EXPECT_EQ(files_.ReadFile("C:\\Media\\sub\\inner.txt"), "inner");

  // Denied again with the default error, then allowed.
  files_.DenyChanges("C:\\Media");
  EXPECT_FALSE(files_.DeleteFile("C:\\Media\\file.txt"));
  EXPECT_EQ(files_.LastError(), static_cast<unsigned>(platform::kErrorAccessDenied));
  files_.AllowChanges("C:\\MEDIA");
  EXPECT_TRUE(files_.DeleteFile("C:\\Media\\file.txt"));
}

TEST_F(SimFilesTest, DeniedDriveIsAReadOnlyMedium) {
  files_.WriteFile("E:\\Setup\\setup.exe", "MZ");
  files_.DenyChanges("E:\\", platform::kErrorWriteProtect);
  EXPECT_FALSE(files_.CreateDirectory("E:\\New"));
  EXPECT_EQ(files_.LastError(), 19u);
  EXPECT_FALSE(files_.SetFileAttributes("E:\\Setup", kAttributeHidden));
  EXPECT_TRUE(files_.CopyFile("E:\\Setup\\setup.exe", "C:\\setup.exe", false));
  // An allowance of a folder below lifts nothing: only the denied folder's own.
  files_.AllowChanges("E:\\Setup");
  EXPECT_FALSE(files_.DeleteFile("E:\\Setup\\setup.exe"));
  files_.AllowChanges("E:\\");
  EXPECT_TRUE(files_.DeleteFile("E:\\Setup\\setup.exe"));
  EXPECT_THROW(files_.DenyChanges("", platform::kErrorWriteProtect), sim::ScriptError);
}

// Wine replaces a read-only file and lets its root user append to one; it has no drive of its
// own to move to, and no missing drive.
TEST_F(SimFilesTest, FailuresBeyondTheConformanceSuiteLeaveWindowsCodes) {
  files_.WriteFile("C:\\readonly.txt", "keep");
  files_.SetAttributes("C:\\readonly.txt", kAttributeReadOnly);
  files_.WriteFile("C:\\hidden.txt", "h");
  files_.SetAttributes("C:\\hidden.txt", kAttributeHidden);
  files_.WriteFile("C:\\file.txt", "new");
  files_.WriteFile("D:\\other.txt", "d");
  struct Case {
    const char* call;
    std::function<bool()> fails;
    long error;
  };
  const std::vector<Case> cases = {
      {"MoveFileEx replacing a read-only file",
       [&] {
         return !files_.MoveFileEx("C:\\file.txt", "C:\\readonly.txt",
                                   platform::kMoveFileReplaceExisting);
       },
       5},
      {"AppendText to a read-only file",
       [&] { return !files_.AppendText("C:\\readonly.txt", "x"); }, 5},
      {"CopyFile onto a hidden file",
       [&] { return !files_.CopyFile("C:\\file.txt", "C:\\hidden.txt", false); }, 5},
      {"GetFileAttributes on a drive that is not there",
       [&] { return files_.GetFileAttributes("Q:\\x") == kInvalidFileAttributes; }, 3},
      {"MoveFileEx to another drive",
       [&] { return !files_.MoveFileEx("C:\\file.txt", "D:\\file.txt", 0); }, 17},
      {"MoveFileEx without a target and without waiting for the restart",
       [&] { return !files_.MoveFileEx("C:\\file.txt", std::nullopt, 0); }, 87},
      {"GetFileAttributes of a name with a wildcard",
       [&] { return files_.GetFileAttributes("C:\\a?b") == kInvalidFileAttributes; }, 123},
      {"CreateDirectory of a name with a wildcard",
       [&] { return !files_.CreateDirectory("C:\\a*b"); }, 123},
      {"RemoveDirectory of a drive's root", [&] { return !files_.RemoveDirectory("D:\\"); }, 145},
  };
  for (const Case& c : cases) {
    files_.SetLastError(0);
    EXPECT_TRUE(c.fails()) << c.call;
    EXPECT_EQ(files_.LastError(), static_cast<unsigned>(c.error)) << c.call;
  }
  EXPECT_EQ(files_.ReadFile("C:\\readonly.txt"), "keep");
}

TEST_F(SimFilesTest, FullPathNamesComeFromTheTextAlone) {
  files_.CreateFolders("C:\\Long Folder Name");
  files_.SubstituteDrive('S', "C:\\Long Folder Name");
  files_.SetCurrentFolder("C:\\Long Folder Name");
  struct Case {
    const char* path;
    const char* full;
  };
  const Case cases[] = {
      // Neither a substituted drive nor an alias is followed.
      {"S:\\x", "S:\\x"},
      {"LONGFO~1\\x", "C:\\Long Folder Name\\LONGFO~1\\x"},
      {"C:", "C:\\Long Folder Name"},
      {"\\", "C:\\"},
      {"E:x", "E:\\x"},
      {"C:\\a\\.\\b\\..\\c.", "C:\\a\\c"},
      // A network path keeps its server and share.
      {"\\\\server\\share\\a\\..\\b", "\\\\server\\share\\b"},
      {"//server/share/dir/", "\\\\server\\share\\dir\\"},
      {"\\\\server\\share\\..\\..\\x", "\\\\server\\share\\x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(files_.GetFullPathName(c.path), c.full) << c.path;
  }
}

TEST(SimWildcardTest, MatchesAsFindFirstFileDoes) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"*", "anything.txt", true},
      {"*", ".", true},
      {"*.*", "noext", true},
      {"*.*", "..", true},
      {"*.txt", "A.TXT", true},
      {"*.txt", "a.txt.bak", false},
      {"*.txt", "txt", false},
      {"?.txt", "ab.txt", false},
      {"a?c", "abc", true},
      {"a?c", "ac", false},
      {"a*b*c", "aXbYbZc", true},
      {"a*b*c", "aXbYbZ", false},
      {"PictvUnInst.log", "pictvuninst.LOG", true},
      {"name.*", "name", true},
      {"name.*", "name.x", true},
      {"name.*", "names", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sim::MatchesWildcard(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
  }
}

}  // namespace

namespace {

// NTFS's own aliases (Wine makes hashed ones), and substituted drives, which Wine lacks.
TEST(SimAliasesTest, AliasesAreNumberedThenHashedAndSubstitutedDrivesReachTheSameFiles) {
  sim::Machine machine;
  sim::FileSystem& files = machine.Files();
  for (int i = 1; i <= 6; ++i) {
    files.WriteFile("C:\\Long Names\\Picture number " + std::to_string(i) + ".jpeg", "x");
  }
  files.WriteFile("C:\\Long Names\\short.txt", "s");
  EXPECT_EQ(files.ShortPath("C:\\Long Names\\Picture number 1.jpeg"), "C:\\LONGNA~1\\PICTUR~1.JPE");
  EXPECT_EQ(files.ShortPath("C:\\Long Names\\Picture number 4.jpeg"), "C:\\LONGNA~1\\PICTUR~4.JPE");
  const std::string fifth = files.ShortPath("C:\\Long Names\\Picture number 5.jpeg").value();
  EXPECT_EQ(fifth.substr(0, 14), "C:\\LONGNA~1\\PI") << fifth;
  EXPECT_EQ(fifth.substr(fifth.size() - 6), "~1.JPE") << fifth;
  EXPECT_NE(files.ShortPath("C:\\Long Names\\Picture number 6.jpeg"), fifth);
  EXPECT_EQ(files.ShortPath("C:\\Long Names\\short.txt"), "C:\\LONGNA~1\\short.txt");
  EXPECT_EQ(files.ReadFile("c:\\longna~1\\pictur~4.jpe"), "x");

  // A renamed file gets the alias its new name calls for; a moved one keeps its identity.
  platform::Platform& platform = machine.Processes().Start({"C:\\setup.exe", {}, {}}).GetPlatform();
  const auto identity = platform.files.GetFileIdentity("C:\\LONGNA~1\\PICTUR~1.JPE");
  ASSERT_TRUE(platform.files.MoveFileEx("C:\\Long Names\\Picture number 1.jpeg",
                                        "C:\\Long Names\\Another picture.jpeg", 0));
  EXPECT_EQ(files.ShortPath("C:\\Long Names\\Another picture.jpeg"), "C:\\LONGNA~1\\ANOTHE~1.JPE");
  EXPECT_EQ(platform.files.GetFileIdentity("C:\\Long Names\\Another picture.jpeg"), identity);

  files.SubstituteDrive('P', "C:\\Long Names");
  EXPECT_EQ(platform.files.GetFileIdentity("P:\\ANOTHE~1.JPE"), identity);
  EXPECT_EQ(platform.files.GetFileIdentity("P:\\..\\..\\Another picture.jpeg"), identity);
  ASSERT_TRUE(platform.files.CopyFile("P:\\short.txt", "P:\\copy.txt", true));
  EXPECT_EQ(files.ReadFile("C:\\Long Names\\copy.txt"), "s");
  EXPECT_THROW(files.SubstituteDrive('C', "C:\\Long Names"), sim::ScriptError);
  EXPECT_THROW(files.SubstituteDrive('Q', "C:\\Missing"), sim::ScriptError);
}

}  // namespace
