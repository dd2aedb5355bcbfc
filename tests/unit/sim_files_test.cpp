// The simulated file system beyond what the conformance suite can show on Wine: the test's own
// side, and the Windows behaviours Wine does not reproduce.
#include <gtest/gtest.h>

#include <algorithm>

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
  platform::Platform& platform = machine.StartProcess({"C:\\setup.exe", {}, {}}).GetPlatform();
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
