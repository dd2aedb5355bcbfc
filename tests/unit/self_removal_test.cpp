#include <gtest/gtest.h>

#include "engine/reboot_operations.h"
#include "program_runner.h"

namespace {

using platform::BoxResult;

constexpr char kUninstaller[] = "C:\\Program Files\\Pictavo 6\\PictvUnInst.exe";
constexpr char kFolder[] = "C:\\Program Files\\Pictavo 6\\";

const sim::ExpectedBox kRemovalQuestion{
    "This will completely uninstall Pictavo 6.\nDo you want to continue?",
    "Pictavo Setup",
    {platform::Buttons::YesNo, platform::Icon::Warning, platform::DefaultButton::Second}};
const sim::ExpectedBox kUninstalled{"Pictavo 6 has been completely uninstalled from this computer.",
                                    "Pictavo Setup",
                                    {platform::Buttons::Ok, platform::Icon::Warning}};

class SelfRemovalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.Files().WriteFile(kUninstaller, "the program");
    machine_.Files().WriteFile(std::string(kFolder) + "Pictv6.exe", "product");
    machine_.Files().WriteFile(std::string(kFolder) + "PictvUnInst.log",
                               "File Copy: Pictv6.exe\r\nFile Copy: setup.exe>PictvUnInst.exe\r\n");
  }

  // The process the uninstaller started in its place.
  sim::Process& Copy() { return *machine_.Processes().back(); }

  ProgramRun RunCopy() {
    std::optional<SetupProgram> program;
    const unsigned code = Copy().Run([&](platform::Platform& platform) {
      program.emplace(platform);
      return program->Run();
    });
    return {code, program->Options()};
  }

  sim::Machine machine_;
};

TEST_F(SelfRemovalTest, UninstallerHandsOverToATemporaryCopyOfItself) {
  machine_.GetUser().WillAnswer(kRemovalQuestion, BoxResult::Yes);
  ProgramRun run = RunProgram(machine_, kUninstaller);
  EXPECT_EQ(run.exitCode, 0u);
  ASSERT_EQ(machine_.Processes().size(), 2u);

  const std::string copy = Copy().Spec().modulePath;
  const std::string temp = Copy().GetPlatform().files.GetTempPath();
  EXPECT_EQ(copy.rfind(temp + "uni", 0), 0u) << copy;
  EXPECT_EQ(copy.substr(copy.size() - 4), ".tmp");
  EXPECT_EQ(machine_.Files().ReadFile(copy), "the program");
  EXPECT_EQ(Copy().CommandLine(), copy + " -delself \"" + kUninstaller + "\"");
  EXPECT_EQ(Copy().GetPlatform().process.Arguments(),
            (std::vector<std::string>{copy, "-delself", kUninstaller}));
  EXPECT_TRUE(machine_.Files().Exists(std::string(kFolder) + "Pictv6.exe"));
}

TEST_F(SelfRemovalTest, CopyRemovesTheProductAndSchedulesItsOwnDeletion) {
  machine_.GetUser().WillAnswer(kRemovalQuestion, BoxResult::Yes);
  RunProgram(machine_, kUninstaller);
  machine_.GetUser().WillAnswer(kUninstalled, BoxResult::Ok);
  const std::string copy = Copy().Spec().modulePath;

  ProgramRun run = RunCopy();

  EXPECT_EQ(run.exitCode, 0u);
  // The uninstaller had gone already: nothing to wait for, and its file went at the first try.
  EXPECT_EQ(Copy().SleptMilliseconds(), 0u);
  EXPECT_EQ(Copy().WaitedMilliseconds(), 0u);
  EXPECT_FALSE(machine_.Files().Exists(kUninstaller));
  EXPECT_FALSE(machine_.Files().Exists(kFolder));
  EXPECT_EQ(machine_.Files().DelayedOperations(),
            (std::vector<sim::DelayedOperation>{{copy, std::nullopt}}));
  EXPECT_TRUE(machine_.Files().Exists(copy));
  machine_.Reboot();
  EXPECT_FALSE(machine_.Files().Exists(copy));
}

TEST_F(SelfRemovalTest, SilentUninstallPassesTheSwitchAndShowsNothing) {
  RunProgram(machine_, kUninstaller, {"-s"});
  ASSERT_EQ(machine_.Processes().size(), 2u);
  EXPECT_EQ(Copy().GetPlatform().process.Arguments().back(), "-s");
  EXPECT_EQ(Copy().GetPlatform().process.Arguments().size(), 4u);
  ProgramRun run = RunCopy();
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(machine_.GetUser().Boxes().empty());
  EXPECT_FALSE(machine_.Files().Exists(kFolder));
}

TEST_F(SelfRemovalTest, PathsWithBlanksArriveAsOneArgument) {
  // The uninstaller's folder has blanks; the temporary copy's does not, so only one is quoted.
  machine_.GetUser().WillAnswer(BoxResult::Yes);
  RunProgram(machine_, kUninstaller);
  const std::string commandLine = Copy().CommandLine();
  EXPECT_EQ(commandLine.find('"'), commandLine.find(" -delself ") + 10);
  EXPECT_EQ(Copy().GetPlatform().process.Arguments()[2], kUninstaller);
}

TEST_F(SelfRemovalTest, DelselfWorksUnderAnyProgramNameWithoutTheQuestion) {
  machine_.Files().WriteFile("D:\\Elsewhere\\anything.exe", "the program");
  machine_.GetUser().WillAnswer(kUninstalled, BoxResult::Ok);
  ProgramRun run = RunProgram(machine_, "D:\\Elsewhere\\anything.exe", {"-delself", kUninstaller});
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(machine_.GetUser().Boxes().size(), 1u);
  EXPECT_FALSE(machine_.Files().Exists(kFolder));
}

TEST_F(SelfRemovalTest, UninstallerInUseStaysAndKeepsItsFolder) {
  machine_.Files().WriteFile("D:\\t\\uni1.tmp", "the program");
  machine_.Files().SetInUse(kUninstaller, sim::InUse::NotDeletable);
  RunProgram(machine_, "D:\\t\\uni1.tmp", {"-delself", kUninstaller, "-s"});
  // Started by no uninstaller it could wait for, the copy tries the file for ten seconds.
  EXPECT_EQ(machine_.Processes().back()->SleptMilliseconds(), 10000u);
  EXPECT_TRUE(machine_.ProcessWaits().empty());
  EXPECT_TRUE(machine_.Files().Exists(kUninstaller));
  EXPECT_FALSE(machine_.Files().Exists(std::string(kFolder) + "Pictv6.exe"));
  EXPECT_TRUE(machine_.Files().Exists(kFolder));
}

TEST(RebootOperationsTest, SectionEntryGoesBehindTheExistingOnes) {
  using std::string_literals::operator""s;
  EXPECT_EQ(AppendSectionEntry("", "NUL=C:\\a.tmp"), "NUL=C:\\a.tmp\0\0"s);
  EXPECT_EQ(AppendSectionEntry("NUL=C:\\x\0C:\\y=C:\\z\0"s, "NUL=C:\\a.tmp"),
            "NUL=C:\\x\0C:\\y=C:\\z\0NUL=C:\\a.tmp\0\0"s);
}

class RefusedDelayedOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override { machine_.Files().RefuseDelayedOperations(true); }
  std::vector<std::string> Section() {
    std::string lines;
    files_.GetPrivateProfileSection("rename", 1 << 20, "WININIT.INI", lines);
    std::vector<std::string> entries;
    for (std::size_t start = 0; start < lines.size();) {
      const std::size_t end = lines.find('\0', start);
      entries.push_back(lines.substr(start, end - start));
      start = end + 1;
    }
    return entries;
  }

  sim::Machine machine_;
  platform::FileSystem& files_ =
      machine_.StartProcess({"C:\\Temp\\uni1.tmp", {}, {}}).GetPlatform().files;
};

TEST_F(RefusedDelayedOperationsTest, DeletionIsWrittenBehindTheEntriesAlreadyThere) {
  using std::string_literals::operator""s;
  files_.WritePrivateProfileSection("rename", "NUL=C:\\old1.tmp\0C:\\new.dll=C:\\new.tmp\0\0"s,
                                    "WININIT.INI");
  DeleteAtReboot(files_, "C:\\Temp\\uni1A.tmp");
  EXPECT_EQ(Section(), (std::vector<std::string>{"NUL=C:\\old1.tmp", "C:\\new.dll=C:\\new.tmp",
                                                 "NUL=C:\\Temp\\uni1A.tmp"}));
  EXPECT_TRUE(machine_.Files().DelayedOperations().empty());
}

TEST_F(RefusedDelayedOperationsTest, RenameIsWrittenNewEqualsExisting) {
  RenameAtReboot(files_, "C:\\P\\Pictv6.ex_", "C:\\P\\Pictv6.exe");
  EXPECT_EQ(Section(), (std::vector<std::string>{"C:\\P\\Pictv6.exe=C:\\P\\Pictv6.ex_"}));
}

TEST_F(RefusedDelayedOperationsTest, SectionLargerThanTheBufferLosesNothing) {
  std::string lines;
  std::vector<std::string> expected;
  for (int i = 0; lines.size() < 20000; ++i) {
    expected.push_back("NUL=C:\\Temp\\" + std::string(40, 'x') + std::to_string(i) + ".tmp");
    lines += expected.back() + '\0';
  }
  files_.WritePrivateProfileSection("rename", lines + '\0', "WININIT.INI");
  DeleteAtReboot(files_, "C:\\last.tmp");
  expected.push_back("NUL=C:\\last.tmp");
  EXPECT_EQ(Section(), expected);
}

TEST_F(SelfRemovalTest, UninstallerThatDoesNotEndIsWaitedForTenSecondsAndThenLeftBehind) {
  machine_.Files().WriteFile("D:\\t\\uni1.tmp", "the program");
  machine_.Files().SetInUse(kUninstaller, sim::InUse::NotDeletable);
  // A handing-over uninstaller that hangs: it started the copy and lives on.
  sim::Process& uninstaller = machine_.StartProcess({kUninstaller, {"-s"}, {}});
  uninstaller.Launch([](platform::Platform& platform) {
    platform.process.CreateProcess(
        "D:\\t\\uni1.tmp", "D:\\t\\uni1.tmp -delself \"" + std::string(kUninstaller) + "\" -s", "");
  });
  RunCopy();
  EXPECT_EQ(Copy().WaitedMilliseconds(), 10000u);
  EXPECT_EQ(Copy().SleptMilliseconds(), 0u);
  EXPECT_TRUE(machine_.Files().Exists(kUninstaller));
  EXPECT_FALSE(machine_.Files().Exists(std::string(kFolder) + "Pictv6.exe"));
}

}  // namespace
