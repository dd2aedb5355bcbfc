#include <gtest/gtest.h>

#include <vector>

#include "engine/helpers.h"
#include "engine/paths.h"
#include "platform/sim/machine.h"

namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;

constexpr char kKey[] = "SOFTWARE\\Corvantis\\Pictavo 6";

class HelpersTest : public ::testing::Test {
 protected:
  sim::Machine machine_;
  platform::Platform& platform_ =
      machine_.Processes().Start({"C:\\Dist\\setup.exe", {}, {}}).GetPlatform();
};

TEST_F(HelpersTest, RegistryStringReadsUpToTheBufferOfTwoHundredSixtyBytes) {
  machine_.Registry().SetString(kHkeyLocalMachine, kKey, "Fits", std::string(259, 'f'));
  machine_.Registry().SetString(kHkeyLocalMachine, kKey, "Long", std::string(260, 'l'));
  machine_.Registry().SetString(kHkeyLocalMachine, kKey, "Path", std::string(300, 'p'));
  machine_.Registry().SetString(kHkeyLocalMachine, kKey, "", "default");

  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyLocalMachine, kKey, "Fits"),
            std::string(259, 'f'));
  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyLocalMachine, kKey, "Long"), "");
  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyLocalMachine, kKey, "Path"), "");
  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyLocalMachine, kKey, ""), "default");
  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyLocalMachine, kKey, "Missing"), "");
  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyLocalMachine, "SOFTWARE\\Nobody", "Path"),
            "");
  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyCurrentUser, kKey, "Fits"), "");
}

TEST_F(HelpersTest, RegistryStringEndsAtTheFirstZeroAndIgnoresTheType) {
  machine_.Registry().SetValue(kHkeyLocalMachine, kKey, "Two", platform::kRegSz,
                               std::string("C:\\A\0C:\\B\0", 10));
  machine_.Registry().SetValue(kHkeyLocalMachine, kKey, "Expand", platform::kRegExpandSz,
                               std::string("%ProgramFiles%\0", 15));
  machine_.Registry().SetValue(kHkeyLocalMachine, kKey, "Unterminated", platform::kRegBinary, "AB");
  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyLocalMachine, kKey, "Two"), "C:\\A");
  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyLocalMachine, kKey, "Expand"),
            "%ProgramFiles%");
  EXPECT_EQ(ReadRegistryString(platform_.registry, kHkeyLocalMachine, kKey, "Unterminated"), "AB");
}

TEST_F(HelpersTest, WriteCreatesEveryMissingKeyAndStoresTheTerminatingZero) {
  const std::string deep = "Software\\A\\B\\C";
  ASSERT_FALSE(machine_.Registry().KeyExists(kHkeyCurrentUser, "Software\\A"));
  EXPECT_TRUE(WriteRegistryString(platform_.registry, kHkeyCurrentUser, deep, "Name", "text"));
  EXPECT_TRUE(machine_.Registry().KeyExists(kHkeyCurrentUser, "Software\\A\\B"));

  platform::RegistryKey key = 0;
  ASSERT_EQ(platform_.registry.OpenKey(kHkeyCurrentUser, deep, platform::kKeyRead, key),
            platform::kErrorSuccess);
  platform::RegistryValue value;
  EXPECT_EQ(platform_.registry.QueryValue(key, "Name", 260, value), platform::kErrorSuccess);
  platform_.registry.CloseKey(key);
  EXPECT_EQ(value.type, platform::kRegSz);
  EXPECT_EQ(value.data, std::string("text\0", 5));

  EXPECT_TRUE(WriteRegistryString(platform_.registry, kHkeyCurrentUser, deep, "", "default"));
  EXPECT_EQ(machine_.Registry().GetString(kHkeyCurrentUser, deep, ""), "default");
}

TEST_F(HelpersTest, WriteFailsWhereTheUserMayNotWrite) {
  machine_.Faults().Set(sim::NoAdministratorRights());
  EXPECT_FALSE(WriteRegistryString(platform_.registry, kHkeyLocalMachine, kKey, "Path", "C:\\P"));
  EXPECT_FALSE(machine_.Registry().KeyExists(kHkeyLocalMachine, kKey));
  EXPECT_TRUE(WriteRegistryString(platform_.registry, kHkeyCurrentUser, kKey, "Path", "C:\\P"));
}

TEST_F(HelpersTest, NormalizeFolderTextTrimsBlanksAndBackslashesAtBothEnds) {
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

TEST_F(HelpersTest, NormalizeFolderTextNeverTakesASecondByteForASeparator) {
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

TEST_F(HelpersTest, CompleteFolderAddsOneBackslashUnlessASeparatorEndsTheFolder) {
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

TEST_F(HelpersTest, ParentFolderDropsTheLastComponent) {
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
