// File versions read through the real version library: the stand-in product as built, copies
// of it with other versions written in, and files that have none.

#include <gtest/gtest.h>

#include "app/existing_installation.h"
#include "pe_file.h"
#include "platform/win32/win32_platform.h"
#include "windows_test_support.h"

namespace windows_tests {
namespace {

class FileVersionTest : public testing::Test {
 protected:
  std::string StandIn() const { return ProgramFolder() + "\\Pictv6.exe"; }

  // A copy of the stand-in product whose fixed version information says `version`.
  std::string PatchedCopy(const std::string& name, const pe::FixedVersion& version) {
    const std::optional<std::string> original = pe::ReadFile(StandIn());
    if (!original) {
      ADD_FAILURE() << "cannot read " << StandIn();
      return {};
    }
    std::string image = *original;
    EXPECT_EQ(pe::SetFixedVersion(image, version), 1);
    const std::string path = scratch_.path() + "\\" + name;
    EXPECT_TRUE(pe::WriteFile(path, image)) << path;
    return path;
  }

  void SetUp() override { ASSERT_TRUE(scratch_.created()); }

  platform::win32::Win32Platform windows_;
  platform::Platform& platform_ = windows_.Get();
  ScratchFolder scratch_{"versions"};
};

TEST_F(FileVersionTest, TheStandInProductHasTheVersionItWasBuiltWith) {
  const FileVersion expected = ParseVersion(PICTV6_VERSION);
  ASSERT_NE(expected, FileVersion{}) << "PICTV6_VERSION " << PICTV6_VERSION;
  EXPECT_EQ(ReadFileVersion(platform_, StandIn()), expected);
}

TEST_F(FileVersionTest, ACopyReadsWithTheVersionWrittenIntoIt) {
  struct Case {
    FileVersion version;
    const char* why;
  };
  const Case cases[] = {
      {{7, 1, 2, 3}, "every part in its place"},
      {{6, 0, 100, 0}, "a build above 99 is kept as it is; ordering is the logic's business"},
      {{65535, 65534, 65533, 65532}, "the high half of each word is no sign"},
      {{0, 0, 0, 1}, "a major 0 still reads as a version"},
  };
  int index = 0;
  for (const Case& c : cases) {
    const FileVersion& v = c.version;
    const std::string copy =
        PatchedCopy("Pictv6-" + std::to_string(index++) + ".exe",
                    {pe::VersionMS(v.major, v.minor), pe::VersionLS(v.build, v.revision),
                     pe::VersionMS(v.major, v.minor), pe::VersionLS(v.build, v.revision)});
    EXPECT_EQ(ReadFileVersion(platform_, copy), v) << c.why;
  }
}

TEST_F(FileVersionTest, TheFileVersionCountsNotTheProductVersion) {
  const std::string copy = PatchedCopy("Pictv6.exe", {pe::VersionMS(6, 40), pe::VersionLS(1, 2),
                                                      pe::VersionMS(9, 9), pe::VersionLS(9, 9)});
  EXPECT_EQ(ReadFileVersion(platform_, copy), (FileVersion{6, 40, 1, 2}));
}

TEST_F(FileVersionTest, FilesWithoutAVersionResourceReadAsZero) {
  EXPECT_EQ(ReadFileVersion(platform_, ProgramFolder() + "\\planted_probe.dll"), FileVersion{});
  const std::string text = scratch_.path() + "\\notes.txt";
  ASSERT_TRUE(pe::WriteFile(text, "no resources here\r\n"));
  EXPECT_EQ(ReadFileVersion(platform_, text), FileVersion{});
  EXPECT_EQ(ReadFileVersion(platform_, scratch_.path() + "\\missing.exe"), FileVersion{});
  EXPECT_EQ(ReadFileVersion(platform_, scratch_.path()), FileVersion{}) << "a folder";
}

TEST_F(FileVersionTest, AFileCutShortReadsAsZero) {
  // A download cut short: the resource section, at the end of the file, is gone or partial.
  const std::optional<std::string> original = pe::ReadFile(StandIn());
  ASSERT_TRUE(original);
  const std::string path = scratch_.path() + "\\cut.exe";
  ASSERT_TRUE(pe::WriteFile(path, std::string_view(*original).substr(0, original->size() / 2)));
  EXPECT_EQ(ReadFileVersion(platform_, path), FileVersion{});
}

}  // namespace
}  // namespace windows_tests
