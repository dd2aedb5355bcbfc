// Ini file sections as the removal reads and writes the list of renames at the next start: the
// counts, the zero-separated lines and the answer when the caller's buffer is too small.
#include <gtest/gtest.h>

#include "conformance/scratch.h"

namespace {

using std::string_literals::operator""s;

class ProfileConformance : public conformance::ScratchTest {
 protected:
  struct Read {
    std::size_t count;
    std::string lines;
  };
  Read Section(const std::string& section, std::size_t capacity) {
    Read read{0, "untouched"};
    read.count = files_.GetPrivateProfileSection(section, capacity, Ini(), read.lines);
    return read;
  }
  std::string Ini() const { return Path("test.ini"); }
};

TEST_F(ProfileConformance, WrittenSectionReadsBackZeroSeparated) {
  const std::string lines = "NUL=C:\\a.tmp\0C:\\b.dll=C:\\b.tmp\0"s;
  ASSERT_TRUE(files_.WritePrivateProfileSection("rename", lines + '\0', Ini()));

  const Read read = Section("rename", 4096);
  EXPECT_EQ(read.count, lines.size());
  EXPECT_EQ(read.lines, lines);
  // Section names are found without regard to case.
  EXPECT_EQ(Section("RENAME", 4096).lines, lines);

  // The file is text: a header line and one line per entry.
  const std::optional<std::string> bytes = backend_->ReadBytes(Ini());
  ASSERT_TRUE(bytes);
  EXPECT_NE(bytes->find("[rename]\r\nNUL=C:\\a.tmp\r\nC:\\b.dll=C:\\b.tmp\r\n"), std::string::npos)
      << *bytes;
}

TEST_F(ProfileConformance, MissingFileOrSectionReadsAsNothing) {
  Read read = Section("rename", 4096);
  EXPECT_EQ(read.count, 0u);
  EXPECT_EQ(read.lines, "");

  ASSERT_TRUE(files_.WritePrivateProfileSection("other", "a=1\0\0"s, Ini()));
  read = Section("rename", 4096);
  EXPECT_EQ(read.count, 0u);
  EXPECT_EQ(read.lines, "");
}

TEST_F(ProfileConformance, WritingReplacesOnlyThatSectionAndKeepsRepeatedKeys) {
  ASSERT_TRUE(backend_->WriteBytes(Ini(),
                                   "[first]\r\nx=1\r\n[rename]\r\nNUL=C:\\old.tmp\r\n"
                                   "[last]\r\ny=2\r\n"));
  EXPECT_EQ(Section("rename", 4096).lines, "NUL=C:\\old.tmp\0"s);

  const std::string lines = "NUL=C:\\one.tmp\0NUL=C:\\two.tmp\0NUL=C:\\old.tmp\0"s;
  ASSERT_TRUE(files_.WritePrivateProfileSection("rename", lines + '\0', Ini()));
  EXPECT_EQ(Section("rename", 4096).lines, lines);
  EXPECT_EQ(Section("first", 4096).lines, "x=1\0"s);
  EXPECT_EQ(Section("last", 4096).lines, "y=2\0"s);
}

TEST_F(ProfileConformance, HandWrittenFileReadsEntryByEntry) {
  ASSERT_TRUE(backend_->WriteBytes(Ini(), "[One]\r\na=1\r\n\r\n[Two]\r\nb=2\r\nc=C:\\x y\r\n"));
  const Read read = Section("two", 4096);
  EXPECT_EQ(read.lines, "b=2\0c=C:\\x y\0"s);
  EXPECT_EQ(read.count, 13u);
}

TEST_F(ProfileConformance, BlanksAroundNamesAndValuesGo) {
  ASSERT_TRUE(
      backend_->WriteBytes(Ini(), "[s]\r\n a = 1 \r\n\r\n  [ t ]  \r\nx=2\r\n[u]\ny = C:\\a b\n"));
  EXPECT_EQ(Section("s", 4096).lines, "a=1\0"s);
  EXPECT_EQ(Section("t", 4096).lines, "x=2\0"s);
  // Lines may end in a line feed alone.
  EXPECT_EQ(Section("u", 4096).lines, "y=C:\\a b\0"s);
}

TEST_F(ProfileConformance, BufferTooSmallGivesCapacityMinusTwo) {
  const std::string lines = "NUL=C:\\a.tmp\0NUL=C:\\b.tmp\0"s;  // 26 characters
  ASSERT_TRUE(files_.WritePrivateProfileSection("rename", lines + '\0', Ini()));

  // The list must fit with a character to spare beyond its closing zero: 28 is just enough.
  EXPECT_EQ(Section("rename", 28).count, 26u);
  EXPECT_EQ(Section("rename", 28).lines, lines);

  // Short of that the last line is cut, and the count says so.
  Read read = Section("rename", 27);
  EXPECT_EQ(read.count, 25u);
  EXPECT_EQ(read.lines, lines.substr(0, 25));
  read = Section("rename", 20);
  EXPECT_EQ(read.count, 18u);
  EXPECT_EQ(read.lines.substr(0, 13), "NUL=C:\\a.tmp\0"s);
}

}  // namespace
