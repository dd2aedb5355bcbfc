#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/install_run.h"
#include "engine/registration.h"
#include "program_runner.h"

namespace {

using platform::BoxResult;
using platform::kHkeyLocalMachine;

constexpr char kDist[] = "D:\\Dist";
constexpr char kSetup[] = "D:\\Dist\\setup.exe";
constexpr char kDefaultFolder[] = "C:\\Program Files\\Pictavo 6";

class InstallRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::FileSystem& files = machine_.Files();
    const std::string dist = kDist;
    files.WriteFile(kSetup, "setup");
    files.WriteFile(dist + "\\readme.txt", "readme");
    files.WriteFile(dist + "\\Pictv6.exe", "product");
    files.SetFileVersion(dist + "\\Pictv6.exe", platform::FixedFileVersion{0x0006001E, 0x00020000});
    files.WriteFile(dist + "\\PictvUnInst.log",
                    "File Copy: Pictv6.exe\r\nFile Copy: readme.txt\r\n"
                    "File Copy: setup.exe>PictvUnInst.exe\r\n");
  }
  SetupOptions Options(std::vector<std::string> arguments) {
    SetupOptions options;
    sim::Process& process = machine_.Processes().Start({kSetup, {}, {}});
    arguments.insert(arguments.begin(), kSetup);
    ApplyInstallSwitches(process.GetPlatform(), ReadCommandLine(arguments, kSetup).install,
                         options);
    return options;
  }

  sim::Machine machine_;
};

TEST_F(InstallRunTest, SwitchesFollowTheirLetterCaseRules) {
  SetupOptions options = Options({"-RUNAFTER", "-AllUsers", "-autostart", "-NoDeskIco"});
  EXPECT_TRUE(options.RunAfter && options.AllUsers && options.Autostart);
  EXPECT_FALSE(options.DesktopIcon);

  options = Options({"-install", "-s", "/s", "-runafterx"});
  EXPECT_FALSE(options.RunAfter || options.AllUsers || options.Autostart);
  EXPECT_TRUE(options.DesktopIcon);
}

TEST_F(InstallRunTest, InstdirNeedsItsExactNameAnExistingFolderAndAValue) {
  machine_.Files().CreateFolders("E:\\Apps");
  sim::Process& process = machine_.Processes().Start({kSetup, {}, {}});
  platform::Platform& platform = process.GetPlatform();
  // The folder the options end with; empty when the switches chose none.
  auto candidate = [&](std::vector<std::string> arguments) {
    SetupOptions options;
    arguments.insert(arguments.begin(), kSetup);
    ApplyInstallSwitches(platform, ReadCommandLine(arguments, kSetup).install, options);
    return options.InstallFolder;
  };
  EXPECT_EQ(candidate({"-instdir", "E:\\Apps\\"}), "E:\\Apps");
  EXPECT_EQ(candidate({"-instdir", "E:\\Apps/"}), "E:\\Apps");
  EXPECT_EQ(candidate({"-instdir", "E:\\Apps"}), "E:\\Apps");
  EXPECT_EQ(candidate({"-INSTDIR", "E:\\Apps"}), "");
  EXPECT_EQ(candidate({"-instdir"}), "");
  EXPECT_EQ(candidate({"-s", "-instdir", "E:\\Missing"}), "");
  // A later missing folder drops the earlier candidate too.
  EXPECT_EQ(candidate({"-instdir", "E:\\Apps", "-instdir", "E:\\Missing"}), "");
  // The value is looked at as a switch in its own turn.
  EXPECT_EQ(candidate({"-instdir", "-instdir", "E:\\Apps"}), "E:\\Apps");
}

TEST(VendorPageTest, QueryOnlyAfterANewInstallation) {
  EXPECT_EQ(VendorPageAddress(true, "?id=7&src=cd"),
            "http://www.corvantis.example/pvdx/InstScript.asp?id=7&src=cd");
  EXPECT_EQ(VendorPageAddress(true, ""), "http://www.corvantis.example/pvdx/installed.asp");
  EXPECT_EQ(VendorPageAddress(false, "?id=7"), "http://www.corvantis.example/pvdx/installed.asp");
}

TEST_F(InstallRunTest, HomePageQueryComesFromTheFirstHttpUrlLine) {
  platform::FileSystem& files = machine_.Processes().Start({kSetup, {}, {}}).GetPlatform().files;
  const std::string path = "C:\\P\\HomePage.url";
  machine_.Files().WriteFile(path,
                             "[InternetShortcut]\r\nURL=https://x/?no\r\nurl=http://x/?no\r\n"
                             "URL=http://www.corvantis.example/start?id=7&a=b?c\r\n"
                             "URL=http://later/?no\r\n");
  EXPECT_EQ(HomePageQuery(files, path), "?id=7&a=b?c");
  machine_.Files().WriteFile(path,
                             "[InternetShortcut]\r\nURL=http://www.corvantis.example/\r\n"
                             "URL=http://later/?no\r\n");
  EXPECT_EQ(HomePageQuery(files, path), "");
  EXPECT_EQ(HomePageQuery(files, "C:\\P\\missing.url"), "");
}

TEST_F(InstallRunTest, SilentFirstInstallationGoesToTheDefaultFolderForAllUsers) {
  ProgramRun run = RunProgram(machine_, kSetup, {"-s"});
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.options.InstallFolder, kDefaultFolder);
  EXPECT_TRUE(run.options.NewInstall);
  EXPECT_TRUE(run.options.AllUsers);
  EXPECT_EQ(run.options.GroupName, "Pictavo 6");
  EXPECT_EQ(run.options.NewVersion, (FileVersion{6, 30, 2, 0}));
  EXPECT_TRUE(machine_.Files().Exists(std::string(kDefaultFolder) + "\\PictvUnInst.exe"));
  EXPECT_EQ(machine_.Registry().GetString(kHkeyLocalMachine, registration::kProductKey, "AllUsers"),
            "B");
  EXPECT_TRUE(machine_.GetUser().Boxes().empty());
  EXPECT_TRUE(machine_.Shell().OpenedFiles().empty());  // a silent run opens no web page
  EXPECT_TRUE(machine_.Processes().Created().empty());
}

TEST_F(InstallRunTest, SilentRunAfterHasTheDesktopStartTheProductWhereADesktopAnswers) {
  machine_.Shell().SetDesktopShell(true);
  RunProgram(machine_, kSetup, {"-s", "-runafter"});
  const std::string product = std::string(kDefaultFolder) + "\\Pictv6.exe";
  EXPECT_EQ(machine_.Shell().DesktopOpens(),
            (std::vector<sim::DesktopOpen>{
                {machine_.Processes().All().front()->Id(), product, kDefaultFolder}}));
  EXPECT_TRUE(machine_.Processes().Created().empty());
  EXPECT_TRUE(machine_.Shell().OpenedFiles().empty());
}

TEST_F(InstallRunTest, DamagedDistributionOpensTheHomePageThroughTheDesktop) {
  machine_.Files().Remove(std::string(kDist) + "\\PictvUnInst.log");
  machine_.Shell().SetDesktopShell(true);
  machine_.GetUser().WillAnswer(BoxResult::Ok);
  EXPECT_EQ(RunProgram(machine_, kSetup).exitCode, 1u);
  ASSERT_EQ(machine_.Shell().DesktopOpens().size(), 1u);
  EXPECT_EQ(machine_.Shell().DesktopOpens()[0].file, "http://www.corvantis.example");
  EXPECT_TRUE(machine_.Shell().OpenedFiles().empty());
}

TEST_F(InstallRunTest, SilentInstallationIntoAnInstdirWithRunAfterStartsTheProduct) {
  machine_.Files().CreateFolders("E:\\Apps\\Pictavo");
  ProgramRun run =
      RunProgram(machine_, kSetup, {"-s", "-instdir", "E:\\Apps\\Pictavo\\", "-runafter"});
  EXPECT_EQ(run.options.InstallFolder, "E:\\Apps\\Pictavo");
  EXPECT_TRUE(machine_.Files().Exists("E:\\Apps\\Pictavo\\Pictv6.exe"));
  ASSERT_EQ(machine_.Processes().Created().size(), 1u);
  EXPECT_EQ(machine_.Processes().Created()[0].commandLine, "E:\\Apps\\Pictavo\\Pictv6.exe");
  EXPECT_EQ(machine_.Processes().Created()[0].workingFolder, "E:\\Apps\\Pictavo");
}

TEST_F(InstallRunTest, DamagedDistributionShowsMessageEighteenAndTheHomePageUnlessSilent) {
  const sim::ExpectedBox damaged{
      "This setup files are damaged, installation aborted.\n\nPlease download the product again "
      "from http://www.corvantis.example and re-try the setup.",
      "Pictavo Setup",
      {platform::Buttons::Ok, platform::Icon::Error}};
  for (const char* missing : {"PictvUnInst.log", "Pictv6.exe"}) {
    for (const bool silent : {false, true}) {
      SetUp();
      sim::Machine& machine = machine_;
      machine.Files().Remove(std::string(kDist) + "\\" + missing);
      if (!silent) {
        machine.GetUser().WillAnswer(damaged, BoxResult::Ok);
      }
      const std::size_t boxes = machine.GetUser().Boxes().size();
      const std::size_t opened = machine.Shell().OpenedFiles().size();
      // A silent run has nobody to answer a box or read a page: its code tells.
      ProgramRun run = RunProgram(
          machine, kSetup, silent ? std::vector<std::string>{"-s"} : std::vector<std::string>{});
      EXPECT_EQ(run.exitCode, 1u) << missing;
      EXPECT_FALSE(machine.Files().Exists(kDefaultFolder)) << missing;
      EXPECT_EQ(machine.GetUser().Boxes().size() - boxes, silent ? 0u : 1u) << missing;
      EXPECT_EQ(machine.Shell().OpenedFiles().size() - opened, silent ? 0u : 1u) << missing;
      if (!silent) {
        EXPECT_EQ(machine.Shell().OpenedFiles().back(), "http://www.corvantis.example") << missing;
      }
    }
  }
}

TEST_F(InstallRunTest, VersionWithoutAMajorPartIsADamagedDistribution) {
  machine_.Files().SetFileVersion(std::string(kDist) + "\\Pictv6.exe",
                                  platform::FixedFileVersion{0x00000009, 0});
  machine_.GetUser().WillAnswer(BoxResult::Ok);
  EXPECT_EQ(RunProgram(machine_, kSetup, {"-s"}).exitCode, 1u);
}

TEST_F(InstallRunTest, SilentUpdateKeepsTheStoredChoicesOverSwitches) {
  RunProgram(machine_, kSetup, {"-s"});
  machine_.Registry().SetString(kHkeyLocalMachine, registration::kProductKey, "AllUsers", "A");
  ProgramRun update = RunProgram(machine_, kSetup, {"-s", "-allusers"});
  EXPECT_FALSE(update.options.NewInstall);
  EXPECT_TRUE(update.options.Upgrade);
  EXPECT_FALSE(update.options.AllUsers);  // the stored "A" wins over -allusers
  EXPECT_EQ(update.options.InstallFolder, kDefaultFolder);
}

}  // namespace

namespace {

TEST_F(InstallRunTest, NoToTheSameVersionQuestionEndsWithNothingChanged) {
  RunProgram(machine_, kSetup, {"-s"});
  const std::vector<std::string> installed = machine_.Snapshot();
  machine_.GetUser().WillAnswer(BoxResult::No);
  ProgramRun run = RunProgram(machine_, kSetup);
  EXPECT_EQ(run.exitCode, 1602u);  // refused by the user
  ASSERT_EQ(machine_.GetUser().Boxes().size(), 1u);
  EXPECT_EQ(machine_.GetUser().Boxes()[0].text.rfind("Pictavo ver. 6.30.02.00 is already", 0), 0u);
  EXPECT_EQ(machine_.Snapshot(), installed);
}

}  // namespace
