#include <gtest/gtest.h>

#include "engine/removal_helpers.h"
#include "platform/sim/machine.h"

namespace {

constexpr char kFolder[] = "C:\\Program Files\\Pictavo 6";

class RemovalHelpersTest : public ::testing::Test {
 protected:
  void Write(const std::string& relative) {
    machine_.Files().WriteFile(std::string(kFolder) + "\\" + relative, "x");
  }
  bool Exists(const std::string& relative) {
    return machine_.Files().Exists(std::string(kFolder) + "\\" + relative);
  }

  sim::Machine machine_;
  RunReport report_;
  platform::Platform& platform_ =
      machine_.Processes().Start({"C:\\Temp\\uni1.tmp", {}, {}}).GetPlatform();
};

TEST_F(RemovalHelpersTest, PatternDeletesMatchingFilesReadOnlyAndHiddenOnes) {
  for (const char* name : {"a.dat", "b.dat", "c.txt", "d.DAT"}) {
    Write(name);
  }
  machine_.Files().SetAttributes(std::string(kFolder) + "\\a.dat", platform::kAttributeReadOnly);
  machine_.Files().SetAttributes(std::string(kFolder) + "\\b.dat",
                                 platform::kAttributeHidden | platform::kAttributeReadOnly);

  EXPECT_EQ(DeleteFilesByPattern(platform_, kFolder, "*.dat", report_), 3);
  EXPECT_FALSE(Exists("a.dat"));
  EXPECT_FALSE(Exists("b.dat"));
  EXPECT_FALSE(Exists("d.DAT"));
  EXPECT_TRUE(Exists("c.txt"));
  EXPECT_EQ(DeleteFilesByPattern(platform_, kFolder, "*.dat", report_), 0);
}

// A record naming one file is deleted without a search, with the same outcome.
TEST_F(RemovalHelpersTest, PlainNamesDeleteTheirFileWhateverItsAttributes) {
  struct Case {
    const char* record;
    int deleted;
  };
  Write("plain.dat");
  Write("locked.dat");
  Write("hidden.dat");
  Write("Samples\\Long sample name.dat");
  machine_.Files().CreateFolders(std::string(kFolder) + "\\Folder.dat");
  machine_.Files().SetAttributes(std::string(kFolder) + "\\locked.dat",
                                 platform::kAttributeReadOnly | platform::kAttributeHidden);
  machine_.Files().SetAttributes(std::string(kFolder) + "\\hidden.dat", platform::kAttributeHidden);
  for (const Case& c : std::vector<Case>{{"PLAIN.dat", 1},
                                         {"locked.dat", 1},
                                         {"hidden.dat ", 1},
                                         {"Samples\\LONGSA~1.DAT", 1},
                                         {"missing.dat", 0},
                                         {"Folder.dat", 0}}) {
    EXPECT_EQ(DeleteFilesByPattern(platform_, kFolder, c.record, report_), c.deleted) << c.record;
  }
  std::vector<std::string> left;
  for (const std::string& path : machine_.Files().AllPaths()) {
    if (path.rfind(std::string(kFolder) + "\\", 0) == 0 && path.size() > sizeof kFolder) {
      left.push_back(path.substr(std::string(kFolder).size() + 1));
    }
  }
  EXPECT_EQ(left, (std::vector<std::string>{"Folder.dat\\", "Samples\\"}));
}

TEST_F(RemovalHelpersTest, SubFolderPartLimitsTheSearchToThatFolder) {
  Write("x.dat");
  Write("Samples\\x.dat");
  Write("Samples\\y.dat");
  Write("Samples\\Deeper\\x.dat");
  EXPECT_EQ(DeleteFilesByPattern(platform_, kFolder, "Samples\\*.dat", report_), 2);
  EXPECT_TRUE(Exists("x.dat"));
  EXPECT_TRUE(Exists("Samples\\Deeper\\x.dat"));
  EXPECT_TRUE(Exists("Samples"));
}

TEST_F(RemovalHelpersTest, FoldersMatchButAreNeverRemovedOrCounted) {
  Write("Samples\\keep.dat");
  machine_.Files().CreateFolders(std::string(kFolder) + "\\Empty");
  Write("only.txt");
  EXPECT_EQ(DeleteFilesByPattern(platform_, kFolder, "*.*", report_), 1);
  EXPECT_TRUE(Exists("Samples\\keep.dat"));
  EXPECT_TRUE(Exists("Empty"));
}

TEST_F(RemovalHelpersTest, FolderWithATrailingSeparatorGetsNoSecondOne) {
  Write("a.dat");
  Write("b.dat");
  EXPECT_EQ(DeleteFilesByPattern(platform_, std::string(kFolder) + "\\", "a.dat", report_), 1);
  EXPECT_EQ(DeleteFilesByPattern(platform_, "C:/Program Files/Pictavo 6/", "b.dat", report_), 1);
}

TEST_F(RemovalHelpersTest, EmptyFolderSearchesTheCurrentDirectory) {
  Write("here.dat");
  ASSERT_TRUE(platform_.files.SetCurrentDirectory(kFolder));
  EXPECT_EQ(DeleteFilesByPattern(platform_, "", "here.dat", report_), 1);
  EXPECT_FALSE(Exists("here.dat"));
}

TEST_F(RemovalHelpersTest, PathsBeyondTheBufferAreNeverBuilt) {
  // The folder and pattern fit 259 characters, the found names do not.
  const std::string folder = "C:\\" + std::string(240, 'f');
  machine_.Files().WriteFile(folder + "\\short.x", "x");
  machine_.Files().WriteFile(folder + "\\" + std::string(30, 'n') + ".x", "x");
  EXPECT_EQ(DeleteFilesByPattern(platform_, folder, "*.x", report_), 1);
  EXPECT_TRUE(machine_.Files().Exists(folder + "\\" + std::string(30, 'n') + ".x"));
  // A search path that does not fit is not even started.
  EXPECT_EQ(DeleteFilesByPattern(platform_, folder, std::string(30, 'n') + ".x", report_), 0);
}

}  // namespace
