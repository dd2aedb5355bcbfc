#include <gtest/gtest.h>

#include <cctype>

#include "conformance/scratch.h"

namespace {

class SystemConformance : public conformance::ScratchTest {};

TEST_F(SystemConformance, ProgramFileCarriesItsVersionInTwoWords) {
  const std::optional<platform::FixedFileVersion> version =
      platform_.versions.GetFixedFileVersion(platform_.process.ModuleFileName());
  ASSERT_TRUE(version);
  EXPECT_EQ(version->fileVersionMS, conformance::kProgramVersion.fileVersionMS);
  EXPECT_EQ(version->fileVersionLS, conformance::kProgramVersion.fileVersionLS);
  EXPECT_EQ(version->fileVersionMS >> 16, 6u);
  EXPECT_EQ(version->fileVersionMS & 0xFFFF, 1u);
  EXPECT_EQ(version->fileVersionLS >> 16, 40000u);
  EXPECT_EQ(version->fileVersionLS & 0xFFFF, 300u);
}

TEST_F(SystemConformance, FilesWithoutAVersionResourceHaveNone) {
  ASSERT_TRUE(backend_->WriteBytes(Path("readme.txt"), "not a program"));
  EXPECT_EQ(platform_.versions.GetFixedFileVersion(Path("readme.txt")), std::nullopt);
  EXPECT_EQ(platform_.versions.GetFixedFileVersion(Path("missing.exe")), std::nullopt);
  EXPECT_EQ(platform_.versions.GetFixedFileVersion(folder_), std::nullopt);
}

TEST_F(SystemConformance, WindowsDirectoryIsAFolderOnADrive) {
  const std::string windows = platform_.system.GetWindowsDirectory();
  ASSERT_GE(windows.size(), 3u) << windows;
  EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(windows[0]))) << windows;
  EXPECT_EQ(windows.substr(1, 2), ":\\") << windows;
  EXPECT_TRUE(windows.size() == 3 || windows.back() != '\\') << windows;
  EXPECT_EQ(platform_.files.GetFileAttributes(windows) & platform::kAttributeDirectory,
            platform::kAttributeDirectory)
      << windows;
}

TEST_F(SystemConformance, ModernWindowsHasTheSixtyFourBitQuery) {
  ASSERT_TRUE(platform_.system.HasIsWow64Process());
  // Either answer is right, but the same one every time.
  EXPECT_EQ(platform_.system.IsWow64Process(), platform_.system.IsWow64Process());
}

TEST_F(SystemConformance, AsciiBytesNeverLeadADoubleByteCharacter) {
  for (unsigned char byte : {'A', '\\', '/', ':', '.', 'z', '0', ' ', '\0'}) {
    EXPECT_FALSE(platform_.system.IsDBCSLeadByte(byte)) << static_cast<int>(byte);
  }
}

}  // namespace
