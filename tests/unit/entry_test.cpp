#include <gtest/gtest.h>

#include "app/command_line.h"
#include "engine/paths.h"
#include "program_runner.h"

namespace {

using platform::BoxResult;

constexpr const char* kUninstaller = "C:\\Program Files\\Pictavo 6\\PictvUnInst.exe";
constexpr const char* kSetup = "D:\\Pictavo\\setup.exe";

const sim::ExpectedBox kRemovalQuestion{
    "This will completely uninstall Pictavo 6.\nDo you want to continue?",
    "Pictavo Setup",
    {platform::Buttons::YesNo, platform::Icon::Warning, platform::DefaultButton::Second}};

TEST(RunModeTest, ProgramPathIsCutToTheBufferOfTwoHundredSixtyCharacters) {
  const std::string longPath = "C:\\" + std::string(300, 'a') + "\\setup.exe";
  EXPECT_EQ(ProgramFilePath(longPath).size(), 259u);
  EXPECT_EQ(ProgramFilePath(kSetup), kSetup);
  // The cut happens before the name test, so a "setup.exe" beyond it is not seen.
  EXPECT_EQ(ReadCommandLine({"x"}, ProgramFilePath(longPath)).mode, RunMode::Uninstall);
}

TEST(EntryTest, UninstallerAsksTheRemovalQuestionAndNoEndsWithNothingDone) {
  sim::Machine machine;
  machine.GetUser().WillAnswer(kRemovalQuestion, BoxResult::No);

  ProgramRun run = RunProgram(machine, kUninstaller);

  EXPECT_EQ(run.exitCode, 1602u);  // refused by the user
  ASSERT_EQ(machine.GetUser().Boxes().size(), 1u);
  EXPECT_EQ(machine.GetUser().Boxes()[0].owner, platform::kNoWindow);
  EXPECT_FALSE(run.options.Silent);
}

TEST(EntryTest, RemovalQuestionIsAskedWhateverTheProgramIsCalled) {
  for (const char* path : {"C:\\P\\uninstall.exe", "C:\\P\\setup.bin", "C:\\P\\a b\\X.EXE"}) {
    sim::Machine machine;
    machine.GetUser().WillAnswer(kRemovalQuestion, BoxResult::No);
    RunProgram(machine, path);
    EXPECT_EQ(machine.GetUser().Boxes().size(), 1u) << path;
  }
}

TEST(EntryTest, SilentUninstallAsksNothing) {
  for (const char* silent : {"-s", "-S"}) {
    sim::Machine machine;
    ProgramRun run = RunProgram(machine, kUninstaller, {silent});
    EXPECT_TRUE(machine.GetUser().Boxes().empty()) << silent;
    EXPECT_TRUE(run.options.Silent) << silent;
  }
}

TEST(EntryTest, SlashSDoesNotSilenceTheRemovalQuestion) {
  sim::Machine machine;
  machine.GetUser().WillAnswer(kRemovalQuestion, BoxResult::No);
  ProgramRun run = RunProgram(machine, kUninstaller, {"/s"});
  EXPECT_FALSE(run.options.Silent);
  EXPECT_EQ(machine.GetUser().Boxes().size(), 1u);
}

TEST(EntryTest, InstallModeAsksNoRemovalQuestion) {
  // No distribution lies beside these programs: the install run's only box is its notice of a
  // damaged distribution, never the removal question.
  sim::Machine machine;
  for (int run = 0; run < 3; ++run) {
    machine.GetUser().WillAnswer(BoxResult::Ok);
  }
  EXPECT_EQ(RunProgram(machine, kSetup).exitCode, 1u);
  EXPECT_EQ(RunProgram(machine, kUninstaller, {"-install"}).exitCode, 1u);
  EXPECT_EQ(RunProgram(machine, "C:\\Temp\\SETUP.EXE").exitCode, 1u);
  ASSERT_EQ(machine.GetUser().Boxes().size(), 3u);
  for (const sim::ShownBox& box : machine.GetUser().Boxes()) {
    EXPECT_EQ(box.text.rfind("This setup files are damaged", 0), 0u) << box.text;
  }
}

TEST(EntryTest, SelfRemovalStartAsksNoRemovalQuestion) {
  sim::Machine machine;
  machine.Files().WriteFile("C:\\Users\\u\\Temp\\uni1A2B.tmp", "the program");
  ProgramRun run =
      RunProgram(machine, "C:\\Users\\u\\Temp\\uni1A2B.tmp", {"-delself", kUninstaller, "-s"});
  EXPECT_TRUE(machine.GetUser().Boxes().empty());
  EXPECT_EQ(run.exitCode, 0u);
}

TEST(EntryTest, MisspelledOrIncompleteDelselfFallsBackToTheName) {
  sim::Machine machine;
  machine.GetUser().WillAnswer(kRemovalQuestion, BoxResult::No);
  machine.GetUser().WillAnswer(kRemovalQuestion, BoxResult::No);
  RunProgram(machine, kUninstaller, {"-DelSelf", "C:\\P\\PictvUnInst.exe"});
  RunProgram(machine, kUninstaller, {"-delself"});
  EXPECT_EQ(machine.GetUser().Boxes().size(), 2u);
  EXPECT_FALSE(machine.GetUser().HasUnusedAnswers());
}

TEST(EntryTest, SilentAndInstallInThatOrderStayInUninstallMode) {
  // -S at position 1 hides -INSTALL at position 2: a silent uninstall, so nothing is asked.
  sim::Machine machine;
  ProgramRun run = RunProgram(machine, kUninstaller, {"-S", "-INSTALL"});
  EXPECT_TRUE(run.options.Silent);
  EXPECT_TRUE(machine.GetUser().Boxes().empty());
}

TEST(EntryTest, YesHandsOverToACopyWithoutAnotherQuestion) {
  sim::Machine machine;
  machine.Files().WriteFile(kUninstaller, "the program");
  machine.GetUser().WillAnswer(kRemovalQuestion, BoxResult::Yes);
  machine.GetUser().WillAnswer(BoxResult::Ok);  // the copy's closing box
  ProgramRun run = RunProgram(machine, kUninstaller);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(machine.GetUser().Boxes().size(), 2u);
  // The copy that removed the product, and the one that takes the uninstaller away once it has
  // ended.
  EXPECT_EQ(machine.Processes().All().size(), 3u);
  EXPECT_TRUE(machine.Files().Exists(kUninstaller));
}

TEST(SetupOptionsTest, StartWithTheInitialValues) {
  const SetupOptions options;
  EXPECT_EQ(options.InstallFolder, "");
  EXPECT_EQ(options.SourceFolder, "");
  EXPECT_EQ(options.GroupName, "");
  EXPECT_TRUE(options.DesktopIcon);
  EXPECT_FALSE(options.AllUsers || options.Autostart || options.RunAfter || options.Silent ||
               options.NewInstall || options.Upgrade);
  EXPECT_EQ(options.NewVersion, FileVersion{});
  EXPECT_EQ(options.NewVersion, (FileVersion{0, 0, 0, 0}));
}

TEST(SetupOptionsTest, EachProcessHasItsOwnRecord) {
  sim::Machine machine;
  ProgramRun silent = RunProgram(machine, kUninstaller, {"-s"});
  machine.GetUser().WillAnswer(BoxResult::Ok);  // no distribution beside the setup program
  ProgramRun plain = RunProgram(machine, kSetup);
  EXPECT_TRUE(silent.options.Silent);
  EXPECT_FALSE(plain.options.Silent);
  EXPECT_TRUE(plain.options.DesktopIcon);
}

}  // namespace
