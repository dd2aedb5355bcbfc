#include <gtest/gtest.h>

#include "app/existing_installation.h"
#include "engine/registration.h"
#include "platform/sim/machine.h"
#include "test_app.h"

namespace {

using platform::BoxResult;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;

constexpr char kInstalled[] = "C:\\Program Files\\Pictavo 6";
constexpr char kSource[] = "D:\\Dist";
constexpr char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kPrograms[] = "C:\\Users\\Ann\\Start Menu\\Programs";
constexpr char kStartup[] = "C:\\Users\\Ann\\Start Menu\\Programs\\Startup";
constexpr char kCommonPrograms[] = "C:\\ProgramData\\Start Menu\\Programs";
constexpr char kCommonStartup[] = "C:\\ProgramData\\Start Menu\\Programs\\StartUp";

platform::FixedFileVersion Fixed(FileVersion v) {
  return {static_cast<std::uint32_t>(v.major) << 16 | v.minor,
          static_cast<std::uint32_t>(v.build) << 16 | v.revision};
}

class ExistingInstallationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    options_.InstallFolder = kInstalled;
    options_.SourceFolder = kSource;
    options_.GroupName = "Pictavo 6";
    registry().SetString(kHkeyCurrentUser, kShellFolders, "Programs", kPrograms);
    registry().SetString(kHkeyCurrentUser, kShellFolders, "Startup", kStartup);
    registry().SetString(kHkeyLocalMachine, kShellFolders, "Common Programs", kCommonPrograms);
    registry().SetString(kHkeyLocalMachine, kShellFolders, "Common Startup", kCommonStartup);
  }

  sim::Registry& registry() { return machine_.Registry(); }

  void Product(const std::string& folder, std::optional<FileVersion> version) {
    machine_.Files().WriteFile(folder + "\\Pictv6.exe", "MZ");
    machine_.Files().SetFileVersion(
        folder + "\\Pictv6.exe",
        version ? std::optional<platform::FixedFileVersion>(Fixed(*version)) : std::nullopt);
  }

  void InstalledLog(const std::string& name, const std::string& content) {
    machine_.Files().WriteFile(std::string(kInstalled) + "\\" + name, content);
  }

  sim::Machine machine_;
  platform::Platform& platform_ =
      machine_.Processes().Start({"D:\\Dist\\setup.exe", {}, {}}).GetPlatform();
  TestApp app_{platform_};
  SetupOptions options_;
};

TEST_F(ExistingInstallationTest, FoundThroughTheProductKeyWithoutTrailingBackslash) {
  EXPECT_EQ(FindExistingInstallation(platform_), "");
  registry().SetString(kHkeyLocalMachine, registration::kProductKey, "Path", "E:\\Pictavo\\");
  EXPECT_EQ(FindExistingInstallation(platform_), "E:\\Pictavo");
  registry().SetString(kHkeyLocalMachine, registration::kProductKey, "Path", "E:\\Pictavo");
  EXPECT_EQ(FindExistingInstallation(platform_), "E:\\Pictavo");
}

TEST_F(ExistingInstallationTest, FoundThroughTheApplicationPathWrittenExactly) {
  registry().SetString(kHkeyLocalMachine, registration::kAppPathKey, "",
                       "E:\\Apps\\Pictavo\\Pictv6.exe");
  EXPECT_EQ(FindExistingInstallation(platform_), "E:\\Apps\\Pictavo");

  registry().SetString(kHkeyLocalMachine, registration::kAppPathKey, "",
                       "E:\\Apps\\Pictavo\\PICTV6.EXE");
  EXPECT_EQ(FindExistingInstallation(platform_), "");

  registry().SetString(kHkeyLocalMachine, registration::kAppPathKey, "", "Pictv6.exe");
  EXPECT_EQ(FindExistingInstallation(platform_), "");

  // The product key wins over the application path.
  registry().SetString(kHkeyLocalMachine, registration::kAppPathKey, "", "F:\\X\\Pictv6.exe");
  registry().SetString(kHkeyLocalMachine, registration::kProductKey, "Path", "E:\\Pictavo");
  EXPECT_EQ(FindExistingInstallation(platform_), "E:\\Pictavo");
}

TEST_F(ExistingInstallationTest, ProgramFilesFolderFromTheRegistryOrTheWindowsDrive) {
  const char kCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  registry().SetString(kHkeyLocalMachine, kCurrentVersion, "ProgramFilesDir", "E:\\Programme\\");
  EXPECT_EQ(DefaultProgramFilesFolder(platform_), "E:\\Programme");

  registry().SetString(kHkeyLocalMachine, kCurrentVersion, "ProgramFilesDir", "");
  machine_.System().SetWindowsDirectory("C:\\WINDOWS");
  EXPECT_EQ(DefaultProgramFilesFolder(platform_), "C:\\Program Files");
  machine_.System().SetWindowsDirectory("D:\\OS\\WINNT");
  EXPECT_EQ(DefaultProgramFilesFolder(platform_), "D:\\Program Files");
}

TEST_F(ExistingInstallationTest, OwnFolderIsTheProgramFilesFolder) {
  EXPECT_EQ(OwnFolder(platform_), "D:\\Dist");
  platform::Platform& other =
      machine_.Processes().Start({"C:\\A b\\c\\PictvUnInst.exe", {}, {}}).GetPlatform();
  EXPECT_EQ(OwnFolder(other), "C:\\A b\\c");
}

TEST_F(ExistingInstallationTest, FileVersionSplitsTheTwoWordsIntoFourParts) {
  machine_.Files().WriteFile("D:\\Dist\\Pictv6.exe", "MZ");
  machine_.Files().SetFileVersion("D:\\Dist\\Pictv6.exe",
                                  platform::FixedFileVersion{0x0006001E, 0x00020007});
  EXPECT_EQ(ReadFileVersion(platform_, "D:\\Dist\\Pictv6.exe"), (FileVersion{6, 30, 2, 7}));
  machine_.Files().SetFileVersion("D:\\Dist\\Pictv6.exe",
                                  platform::FixedFileVersion{0xFFFF0001, 0x8000FFFE});
  EXPECT_EQ(ReadFileVersion(platform_, "D:\\Dist\\Pictv6.exe"),
            (FileVersion{65535, 1, 32768, 65534}));

  machine_.Files().WriteFile("D:\\Dist\\readme.txt", "text");
  EXPECT_EQ(ReadFileVersion(platform_, "D:\\Dist\\readme.txt"), FileVersion{});
  EXPECT_EQ(ReadFileVersion(platform_, "D:\\Dist\\missing.exe"), FileVersion{});
}

TEST(VersionKeyTest, OrdersByWeightedPartsWithWrapAround) {
  EXPECT_EQ(VersionKey({6, 1, 2, 3}), 6010203u);
  EXPECT_EQ(VersionKey({0, 0, 0, 0}), 0u);
  EXPECT_EQ(VersionKey({6, 0, 100, 0}), VersionKey({6, 1, 0, 0}));
  EXPECT_LT(VersionKey({6, 1, 2, 0}), VersionKey({6, 1, 3, 0}));
  // 65535 * 1000000 + 65535 * 10000 + 65535 * 100 + 65535, reduced modulo 2^32.
  EXPECT_EQ(VersionKey({65535, 65535, 65535, 65535}),
            static_cast<std::uint32_t>(65535ull * 1010101ull));
  EXPECT_LT(VersionKey({4295, 0, 0, 0}), VersionKey({4294, 0, 0, 0}));  // wrapped past 2^32
}

TEST_F(ExistingInstallationTest, NewerDistributionUpgradesWithoutAQuestion) {
  Product(kInstalled, FileVersion{6, 1, 2, 0});
  Product(kSource, FileVersion{6, 1, 3, 0});
  EXPECT_EQ(CheckExistingVersion(app_, options_), VersionCheck::Continue);
  EXPECT_TRUE(options_.Upgrade);
  EXPECT_EQ(options_.NewVersion, (FileVersion{6, 1, 3, 0}));
  EXPECT_TRUE(machine_.GetUser().Boxes().empty());
}

TEST_F(ExistingInstallationTest, MissingInstalledProductCountsAsOlderThanAnyVersion) {
  Product(kSource, FileVersion{0, 0, 0, 1});
  EXPECT_EQ(CheckExistingVersion(app_, options_), VersionCheck::Continue);
  EXPECT_TRUE(options_.Upgrade);
}

TEST_F(ExistingInstallationTest, SameVersionAsksWhetherToRunAgain) {
  Product(kInstalled, FileVersion{6, 1, 3, 0});
  Product(kSource, FileVersion{6, 1, 3, 0});
  machine_.GetUser().WillAnswer(
      {"Pictavo ver. 6.01.03.00 is already installed on this machine.\n\nWould you like to run "
       "this setup again to select different options or repair the files?",
       "Pictavo Setup",
       {platform::Buttons::YesNo, platform::Icon::Question, platform::DefaultButton::First}},
      BoxResult::Yes);
  EXPECT_EQ(CheckExistingVersion(app_, options_), VersionCheck::Continue);
  EXPECT_FALSE(options_.Upgrade);
}

TEST_F(ExistingInstallationTest, OlderDistributionShowsBothVersionsAndNoRefuses) {
  Product(kInstalled, FileVersion{6, 1, 2, 3});
  Product(kSource, FileVersion{6, 0, 5, 0});
  machine_.GetUser().WillAnswer(
      {"Pictavo v. 6.01.02.03 is already installed on this machine. You are trying to install "
       "an older version 6.00.05.00 .\n\nDo you still want to continue?",
       "Pictavo Setup",
       {platform::Buttons::YesNo, platform::Icon::Question}},
      BoxResult::No);
  EXPECT_EQ(CheckExistingVersion(app_, options_), VersionCheck::Refuse);
  EXPECT_FALSE(options_.Upgrade);
}

TEST_F(ExistingInstallationTest, BuildOverNinetyNineWeighsAsTheNextMinor) {
  Product(kInstalled, FileVersion{6, 0, 100, 0});
  Product(kSource, FileVersion{6, 1, 0, 0});
  machine_.GetUser().WillAnswer(BoxResult::No);
  EXPECT_EQ(CheckExistingVersion(app_, options_), VersionCheck::Refuse);
  ASSERT_EQ(machine_.GetUser().Boxes().size(), 1u);
  EXPECT_EQ(machine_.GetUser().Boxes()[0].text.rfind("Pictavo ver. 6.01.00.00 is already", 0), 0u);
}

TEST_F(ExistingInstallationTest, SilentRunOverANewerVersionUpgradesWithoutAsking) {
  Product(kInstalled, FileVersion{7, 0, 0, 0});
  Product(kSource, FileVersion{6, 0, 0, 0});
  options_.Silent = true;
  EXPECT_EQ(CheckExistingVersion(app_, options_), VersionCheck::Continue);
  EXPECT_TRUE(options_.Upgrade);
  EXPECT_TRUE(machine_.GetUser().Boxes().empty());
}

TEST_F(ExistingInstallationTest, AllUsersIsRecoveredOnlyFromACapitalB) {
  const struct {
    std::optional<const char*> stored;
    bool before;
    bool after;
  } cases[] = {{"B", false, true},
               {"b", false, false},
               {"A", true, false},
               {std::nullopt, true, false},
               {"BB", false, false}};
  for (const auto& c : cases) {
    registry().DeleteTree(kHkeyLocalMachine, registration::kProductKey);
    if (c.stored) {
      registry().SetString(kHkeyLocalMachine, registration::kProductKey, "AllUsers", *c.stored);
    }
    options_.AllUsers = c.before;
    RecoverPreviousChoices(platform_, options_);
    EXPECT_EQ(options_.AllUsers, c.after) << c.stored.value_or("(none)");
  }
}

TEST_F(ExistingInstallationTest, GroupComesFromTheLastGroupShortcutOfTheLog) {
  InstalledLog("PictvUnInst.log",
               "File Copy: Pictv6.exe\r\n\r\n"
               "Made Dir: C:\\Users\\Ann\\Start Menu\\Programs\\Old Group\r\n"
               "Shell Link: C:\\Users\\Ann\\Start Menu\\Programs\\Old Group\\Pictavo 6.lnk\r\n"
               "Shell Link: C:\\USERS\\ann\\Start Menu\\Programs\\Tools\\My Pictavo\\Help.lnk\r\n"
               "Shell Link: C:\\Users\\Ann\\Desktop\\Pictavo 6.lnk\r\n"
               "Shell Link: C:\\Users\\Ann\\Start Menu\\Programs\\Startup\\Pictavo 6.lnk\r\n"
               "shell link: C:\\Users\\Ann\\Start Menu\\Programs\\Ignored\\x.lnk\r\n");
  RecoverPreviousChoices(platform_, options_);
  EXPECT_FALSE(options_.AllUsers);
  EXPECT_EQ(options_.GroupName, "Tools\\My Pictavo");  // the log's letter case is kept
}

TEST_F(ExistingInstallationTest, AllUsersInstallationLooksInTheCommonFolders) {
  registry().SetString(kHkeyLocalMachine, registration::kProductKey, "AllUsers", "B");
  InstalledLog("PictvUnInst.log",
               "Shell Link: C:\\ProgramData\\Start Menu\\Programs\\Shared Group\\Pictavo 6.lnk\r\n"
               "Shell Link: C:\\Users\\Ann\\Start Menu\\Programs\\Mine\\Pictavo 6.lnk\r\n");
  RecoverPreviousChoices(platform_, options_);
  EXPECT_TRUE(options_.AllUsers);
  EXPECT_EQ(options_.GroupName, "Shared Group");
}

TEST_F(ExistingInstallationTest, OlderLogServesWhenTheInstalledLogIsMissing) {
  InstalledLog("install.log",
               "Shell Link: C:\\Users\\Ann\\Start Menu\\Programs\\From Old Log\\Pictavo 6.lnk\r\n");
  RecoverPreviousChoices(platform_, options_);
  EXPECT_EQ(options_.GroupName, "From Old Log");

  options_.GroupName = "Pictavo 6";
  InstalledLog("PictvUnInst.log", "File Copy: Pictv6.exe\r\n");
  RecoverPreviousChoices(platform_, options_);
  EXPECT_EQ(options_.GroupName,
            "Pictavo 6");  // the installed log is there: install.log is not read
}

TEST_F(ExistingInstallationTest, WithoutLogsTheDefaultGroupStays) {
  RecoverPreviousChoices(platform_, options_);
  EXPECT_EQ(options_.GroupName, "Pictavo 6");
}

TEST_F(ExistingInstallationTest, MissingStartupFolderValueTakesNoLine) {
  registry().DeleteTree(kHkeyCurrentUser, kShellFolders);
  registry().SetString(kHkeyCurrentUser, kShellFolders, "Programs", kPrograms);
  InstalledLog("PictvUnInst.log",
               "Shell Link: C:\\Users\\Ann\\Start Menu\\Programs\\Elsewhere\\Pictavo 6.lnk\r\n");
  RecoverPreviousChoices(platform_, options_);
  EXPECT_EQ(options_.GroupName, "Pictavo 6");
}

TEST_F(ExistingInstallationTest, ShortcutDirectlyInTheProgramsFolderGivesAnEmptyGroup) {
  registry().SetString(kHkeyCurrentUser, kShellFolders, "Programs", std::string(kPrograms) + "\\");
  InstalledLog("PictvUnInst.log",
               "Shell Link: C:\\Users\\Ann\\Start Menu\\Programs\\Group\\Pictavo 6.lnk\r\n"
               "Shell Link: C:\\Users\\Ann\\Start Menu\\Programs\\Pictavo 6.lnk\r\n");
  RecoverPreviousChoices(platform_, options_);
  EXPECT_EQ(options_.GroupName, "");
}

TEST_F(ExistingInstallationTest, GroupThatClimbsOutOfTheProgramMenuIsNotTaken) {
  InstalledLog("PictvUnInst.log",
               "Shell Link: C:\\Users\\Ann\\Start Menu\\Programs\\Kept\\Pictavo 6.lnk\r\n"
               "Shell Link: C:\\Users\\Ann\\Start Menu\\Programs\\..\\Evil\\Pictavo 6.lnk\r\n"
               "Shell Link: C:\\Users\\Ann\\Start Menu\\Programs\\\\Rooted\\Pictavo 6.lnk\r\n"
               "Shell Link: C:\\Users\\Ann\\Start Menu\\Programs\\a\\..\\..\\b\\Pictavo 6.lnk\r\n");
  RecoverPreviousChoices(platform_, options_);
  EXPECT_EQ(options_.GroupName, "Kept");
}

}  // namespace
