#include <gtest/gtest.h>

#include <vector>

#include "engine/install_log.h"
#include "platform/sim/machine.h"

namespace {

constexpr char kLog[] = "C:\\Pictavo\\PictvUnInst.log";

std::vector<std::string> ReadAll(InstallLog& log) {
  std::vector<std::string> lines;
  while (std::optional<std::string> line = log.ReadLogLine()) {
    lines.push_back(*line);
  }
  return lines;
}

TEST(LogRecordTest, PrefixesMatchCaseSensitivelyAtTheFirstCharacter) {
  struct Case {
    const char* line;
    std::optional<LogRecordKind> kind;
    const char* argument;
  } const cases[] = {
      {"File Copy: Pictv6.exe", LogRecordKind::FileCopy, "Pictv6.exe"},
      {"File Copy x64: x64\\hook.dll", LogRecordKind::FileCopyX64, "x64\\hook.dll"},
      {"File Copy ind: msvcr71.dll", LogRecordKind::FileCopyInd, "msvcr71.dll"},
      {"File Overwrite: a.dat", LogRecordKind::FileOverwrite, "a.dat"},
      {"File Del: old.dll", LogRecordKind::FileDel, "old.dll"},
      {"Make Dir: Samples", LogRecordKind::MakeDir, "Samples"},
      {"Made Dir: C:\\Start Menu\\Pictavo 6", LogRecordKind::MadeDir, "C:\\Start Menu\\Pictavo 6"},
      {"Shell Link: C:\\D\\Pictavo 6.lnk", LogRecordKind::ShellLink, "C:\\D\\Pictavo 6.lnk"},
      {"File Copy: ", LogRecordKind::FileCopy, ""},
      {"file copy: a.dat", std::nullopt, ""},
      {"FILE DEL: a.dat", std::nullopt, ""},
      {" File Copy: a.dat", std::nullopt, ""},
      {"File Copy:a.dat", std::nullopt, ""},
      {"File  Copy: a.dat", std::nullopt, ""},
      {"; File Copy: a.dat", std::nullopt, ""},
      {"", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    const std::optional<LogRecord> record = ParseLogRecord(c.line);
    ASSERT_EQ(record.has_value(), c.kind.has_value()) << c.line;
    if (record) {
      EXPECT_EQ(record->kind, *c.kind) << c.line;
      EXPECT_EQ(record->argument, c.argument) << c.line;
    }
  }
}

TEST(LogRecordTest, EveryKindHasItsPrefixWithOneTrailingBlank) {
  for (LogRecordKind kind :
       {LogRecordKind::FileCopy, LogRecordKind::FileCopyX64, LogRecordKind::FileCopyInd,
        LogRecordKind::FileOverwrite, LogRecordKind::FileDel, LogRecordKind::MakeDir,
        LogRecordKind::MadeDir, LogRecordKind::ShellLink}) {
    const std::string prefix(LogRecordPrefix(kind));
    ASSERT_GE(prefix.size(), 2u);
    EXPECT_EQ(prefix.back(), ' ');
    EXPECT_NE(prefix[prefix.size() - 2], ' ');
    const std::optional<LogRecord> record = ParseLogRecord(prefix + "x");
    ASSERT_TRUE(record) << prefix;
    EXPECT_EQ(record->kind, kind) << prefix;
  }
}

class InstallLogTest : public ::testing::Test {
 protected:
  void Write(const std::string& bytes) { machine_.Files().WriteFile(kLog, bytes); }
  std::vector<std::string> Lines() {
    InstallLog log(platform_.files, kLog);
    return ReadAll(log);
  }

  sim::Machine machine_;
  platform::Platform& platform_ =
      machine_.Processes().Start({"C:\\Dist\\setup.exe", {}, {}}).GetPlatform();
};

TEST_F(InstallLogTest, LongLineIsReadInPiecesOfFiveHundredElevenCharacters) {
  const std::string longRecord = "File Copy: " + std::string(589, 'a');  // 600 characters
  Write(longRecord + "\r\nFile Del: " + std::string(520, 'b') + "\r\n");

  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], longRecord.substr(0, 511));
  EXPECT_EQ(lines[1], std::string(89, 'a'));
  EXPECT_EQ(lines[2].size(), 511u);
  EXPECT_EQ(lines[3], std::string(19, 'b'));
  // The second piece is a line of its own, and a record only when it begins with a prefix.
  EXPECT_FALSE(ParseLogRecord(lines[1]));
}

TEST_F(InstallLogTest, PieceThatBeginsWithAPrefixIsARecord) {
  Write("Make Dir: " + std::string(501, 'x') + "File Del: stale.dll\r\n");
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  const std::optional<LogRecord> record = ParseLogRecord(lines[1]);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->kind, LogRecordKind::FileDel);
  EXPECT_EQ(record->argument, "stale.dll");
}

TEST_F(InstallLogTest, TrailingBlanksTabsAndControlBytesAreRemoved) {
  Write("File Copy: Pictv6.exe   \t\r\n  \t \r\n\r\nMake Dir: a b \x01\x1f\r\nlast \t");
  EXPECT_EQ(Lines(),
            (std::vector<std::string>{"File Copy: Pictv6.exe", "", "", "Make Dir: a b", "last"}));
}

TEST_F(InstallLogTest, LeadingBlanksAndBytesAboveThirtyTwoStay) {
  Write("  File Copy: a\r\nFile Copy: caf\xe9\r\n");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"  File Copy: a", "File Copy: caf\xe9"}));
}

TEST_F(InstallLogTest, ZeroByteEndsTheLineAsInACString) {
  const char bytes[] = "File Copy: a.dat\0hidden\r\nFile Del: b\r\n";
  Write(std::string(bytes, sizeof(bytes) - 1));
  EXPECT_EQ(Lines(), (std::vector<std::string>{"File Copy: a.dat", "File Del: b"}));
}

TEST_F(InstallLogTest, MissingLogReadsAsEmpty) {
  InstallLog log(platform_.files, "C:\\Nowhere\\PictvUnInst.log");
  EXPECT_FALSE(log.IsOpen());
  EXPECT_FALSE(log.ReadLogLine());
  log.Rewind();
  EXPECT_FALSE(log.ReadLogLine());
}

TEST_F(InstallLogTest, RewindStartsASecondPassAtTheFirstLine) {
  Write("Shell Link: a.lnk\r\nMade Dir: C:\\G\r\n");
  InstallLog log(platform_.files, kLog);
  const std::vector<std::string> first = ReadAll(log);
  log.Rewind();
  EXPECT_EQ(ReadAll(log), first);
  EXPECT_EQ(first.size(), 2u);
}

TEST_F(InstallLogTest, AppendWritesEachRecordWithCarriageReturnAndLineFeed) {
  machine_.Files().CreateFolders("C:\\Pictavo");
  AppendLogLine(platform_.files, kLog, "Made Dir: C:\\Programs\\Pictavo 6");
  AppendLogLine(platform_.files, kLog, "");
  AppendLogLine(platform_.files, kLog, "Shell Link: C:\\Programs\\Pictavo 6\\Pictavo 6.lnk");
  EXPECT_EQ(machine_.Files().ReadFile(kLog),
            "Made Dir: C:\\Programs\\Pictavo 6\r\n\r\nShell Link: C:\\Programs\\Pictavo "
            "6\\Pictavo 6.lnk\r\n");
}

TEST_F(InstallLogTest, EmptyAppendCompletesAManifestWithoutFinalLineBreak) {
  Write("File Copy: Pictv6.exe\r\nFile Copy: readme.txt");
  AppendLogLine(platform_.files, kLog, "");
  AppendLogLine(platform_.files, kLog, "Made Dir: C:\\G");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"File Copy: Pictv6.exe", "File Copy: readme.txt",
                                               "Made Dir: C:\\G"}));
}

TEST_F(InstallLogTest, AppendToAnUnopenableLogLosesTheRecordQuietly) {
  AppendLogLine(platform_.files, "C:\\Missing Folder\\PictvUnInst.log", "Made Dir: C:\\G");
  EXPECT_FALSE(machine_.Files().Exists("C:\\Missing Folder\\PictvUnInst.log"));
  EXPECT_FALSE(machine_.Files().Exists("C:\\Missing Folder"));
}

}  // namespace
