#include <gtest/gtest.h>

#include <vector>

#include "engine/paths.h"
#include "engine/wow64_query.h"
#include "platform/sim/machine.h"

namespace {

class PathsTest : public ::testing::Test {
 protected:
  sim::Machine machine_;
  platform::Platform& platform_ =
      machine_.Processes().Start({"C:\\Dist\\setup.exe", {}, {}}).GetPlatform();
};

TEST_F(PathsTest, NormalizeFolderTextTrimsBlanksAndBackslashesAtBothEnds) {
  struct Case {
    const char* in;
    const char* out;
  } const cases[] = {
      {"Pictavo 6", "Pictavo 6"},
      {"  Pictavo 6\t\r\n", "Pictavo 6"},
      {"/Tools/Pictavo 6/", "Tools\\Pictavo 6"},
      {"\\\\ \\Tools\\\\Pictavo\\ \\", "Tools\\\\Pictavo"},
      {" \\ \\\\ \t", ""},
      {"", ""},
      {"a", "a"},
      {"C:\\Program Files\\", "C:\\Program Files"},
  };
  for (const Case& c : cases) {
    std::string text = c.in;
    NormalizeFolderText(platform_.system, text);
    EXPECT_EQ(text, c.out) << '"' << c.in << '"';
  }
}

TEST_F(PathsTest, NormalizeFolderTextNeverTakesASecondByteForASeparator) {
  // In code page 932, 0x95 0x5C is one character whose second byte is the backslash's code,
  // and 0x83 0x2F one whose second byte is the slash's.
  machine_.System().SetCodePage(932);
  std::string text = "\\Tools\\\x95\\";
  NormalizeFolderText(platform_.system, text);
  EXPECT_EQ(text, "Tools\\\x95\\");

  text = "\x83/x/";
  NormalizeFolderText(platform_.system, text);
  EXPECT_EQ(text, "\x83/x");

  // A lead byte at the very end has no second byte: it is a character of its own.
  text = "a\\\x95";
  NormalizeFolderText(platform_.system, text);
  EXPECT_EQ(text, "a\\\x95");

  // In a single-byte code page the same bytes are two characters.
  machine_.System().SetCodePage(1252);
  text = "\\Tools\\\x95\\";
  NormalizeFolderText(platform_.system, text);
  EXPECT_EQ(text, "Tools\\\x95");
}

TEST_F(PathsTest, CompleteFolderAddsOneBackslashUnlessASeparatorEndsTheFolder) {
  struct Case {
    unsigned codePage;
    const char* folder;
    const char* completed;
  };
  // "\x97\x5C" and "\x95\x5C" are two characters of code page 932 whose second byte is the
  // backslash's.
  for (const Case& c : std::vector<Case>{
           {1252, "C:\\Program Files\\Pictavo 6", "C:\\Program Files\\Pictavo 6\\"},
           {1252, "C:\\Pictavo\\", "C:\\Pictavo\\"},
           {1252, "C:/Pictavo/", "C:/Pictavo/"},
           {1252, "C:", "C:\\"},
           {1252, "", "\\"},
           {1252, "C:\\\x97\x5C", "C:\\\x97\x5C"},
           {932, "C:\\\x97\x5C", "C:\\\x97\x5C\\"},
           {932, "C:\\\x97\x5C\\", "C:\\\x97\x5C\\"},
       }) {
    machine_.System().SetCodePage(c.codePage);
    EXPECT_EQ(CompleteFolder(platform_.system, c.folder), c.completed)
        << c.folder << " in " << c.codePage;
  }
}

TEST_F(PathsTest, ParentFolderDropsTheLastComponent) {
  EXPECT_EQ(ParentFolder(platform_.system, std::nullopt), "");
  struct Case {
    unsigned codePage;
    const char* path;
    const char* parent;
  };
  for (const Case& c : std::vector<Case>{
           {1252, "C:\\Program Files\\Pictavo 6", "C:\\Program Files"},
           {1252, "C:\\Program Files\\Pictavo 6\\", "C:\\Program Files"},
           {1252, "Tools\\Pictavo 6\\Pictavo 6.lnk", "Tools\\Pictavo 6"},
           {1252, "Pictavo 6.lnk", ""},
           {1252, "\\Pictavo 6.lnk", ""},
           {1252, "C:\\", ""},
           {1252, "C:\\a", "C:"},
           {1252, "", ""},
           {1252, "\\", ""},
           {1252,
            "C:\\a\\\x97\x5C"
            "b",
            "C:\\a\\\x97"},
           {932,
            "C:\\a\\\x97\x5C"
            "b",
            "C:\\a"},
           {932, "C:\\Tools\\\x95\x5C", "C:\\Tools"},
           {932, "C:\\\x97\x5C\x92\xE8\x95\x5C\\Pictavo 6\\", "C:\\\x97\x5C\x92\xE8\x95\x5C"},
           {932, "C:\\\x97\x5C\\\x95\x5C", "C:\\\x97\x5C"},
       }) {
    machine_.System().SetCodePage(c.codePage);
    EXPECT_EQ(ParentFolder(platform_.system, std::string(c.path)), c.parent)
        << c.path << " in " << c.codePage;
  }
}

TEST(Wow64QueryTest, AnswersFromTheEntryLookedUpAtStartUp) {
  sim::Machine machine;
  platform::Platform& platform = machine.Processes().Start({"C:\\setup.exe", {}, {}}).GetPlatform();

  EXPECT_FALSE(Wow64Query(platform.system).IsRunningOnWow64());

  machine.System().SetWindows64Bit(true);
  const Wow64Query onSixtyFourBit(platform.system);
  EXPECT_TRUE(onSixtyFourBit.IsRunningOnWow64());

  machine.System().SetIsWow64ProcessAvailable(false);
  EXPECT_FALSE(Wow64Query(platform.system).IsRunningOnWow64());
}

TEST(StaysInsideFolderTest, EverySpellingOfAStepUpIsRefused) {
  // A log or manifest may come from where a less trusted user writes.
  for (const char* inside :
       {"a", "a\\b", "Samples\\*.pvs", ".\\a", "a.", "a..\\b", ".x", "a\\\\b"}) {
    EXPECT_TRUE(StaysInsideFolder(inside)) << inside;
  }
  // Windows drops final dots and blanks, so these are ".." too; and roots, drives, shares.
  for (const char* outside : {"", "..", "..\\a", "a\\..", "...\\a", "a\\...", ". .\\a", ".. ",
                              "a/../../b", "\\a", "/a", "C:a", "\\\\server\\share"}) {
    EXPECT_FALSE(StaysInsideFolder(outside)) << outside;
  }
}

}  // namespace
