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
  void SetUp() override { LayDownTheProduct(machine_); }

  static void LayDownTheProduct(sim::Machine& machine) {
    machine.Files().WriteFile(kUninstaller, "the program");
    machine.Files().WriteFile(std::string(kFolder) + "Pictv6.exe", "product");
    machine.Files().WriteFile(std::string(kFolder) + "PictvUnInst.log",
                              "File Copy: Pictv6.exe\r\nFile Copy: setup.exe>PictvUnInst.exe\r\n");
  }

  // The copy that removed the product while the uninstaller waited, and the one it started
  // next, to take the uninstaller's file and folder away.
  sim::Process& Removal() { return *machine_.Processes().All().at(1); }
  sim::Process& Tail() { return *machine_.Processes().All().back(); }

  sim::Machine machine_;
};

TEST_F(SelfRemovalTest, UninstallerEndsWithTheOutcomeOfTheCopyThatRemovedTheProduct) {
  machine_.GetUser().WillAnswer(kRemovalQuestion, BoxResult::Yes);
  machine_.GetUser().WillAnswer(kUninstalled, BoxResult::Ok);
  ProgramRun run = RunProgram(machine_, kUninstaller);
  EXPECT_EQ(run.exitCode, 0u);
  ASSERT_EQ(machine_.Processes().All().size(), 3u);

  const std::string copy = Removal().Spec().modulePath;
  const std::string temp = Removal().GetPlatform().files.GetTempPath();
  EXPECT_EQ(copy.rfind(temp + "uni", 0), 0u) << copy;
  EXPECT_EQ(copy.substr(copy.size() - 4), ".tmp");
  EXPECT_EQ(Removal().CommandLine(),
            copy + " -delself \"" + kUninstaller + "\" -outcome -restartcode");
  EXPECT_EQ(Removal().ExitCode(), 0u);
  // By the time the uninstaller ends the product is gone; only its own file waits for it.
  EXPECT_FALSE(machine_.Files().Exists(std::string(kFolder) + "Pictv6.exe"));
  EXPECT_FALSE(machine_.Files().Exists(std::string(kFolder) + "PictvUnInst.log"));
  EXPECT_TRUE(machine_.Files().Exists(kUninstaller));
  // The copy was set to go at the next start as soon as it was made, before it held anything:
  // a power cut from there on leaves nothing of it.
  const std::vector<sim::DelayedOperation> copyGoes = {{copy, std::nullopt}};
  EXPECT_EQ(machine_.Files().DelayedOperations(), copyGoes);

  EXPECT_EQ(Tail().Spec().modulePath, copy);
  EXPECT_EQ(Tail().CommandLine(), copy + " -delself \"" + kUninstaller + "\" -s");
  EXPECT_EQ(RunRemovalTail(machine_), 0u);
  // The uninstaller had gone already: nothing to wait for, and its file went at the first try.
  EXPECT_EQ(Tail().SleptMilliseconds(), 0u);
  EXPECT_EQ(Tail().WaitedMilliseconds(), 0u);
  EXPECT_FALSE(machine_.Files().Exists(kUninstaller));
  EXPECT_FALSE(machine_.Files().Exists(kFolder));
  // The tail, the copy started once more, sets its own file to go as well: nothing else waits.
  EXPECT_EQ(machine_.Files().DelayedOperations(),
            (std::vector<sim::DelayedOperation>{copyGoes[0], copyGoes[0]}));
  EXPECT_EQ(machine_.GetUser().Boxes().size(), 2u);
  machine_.Reboot();
  EXPECT_FALSE(machine_.Files().Exists(copy));
}

TEST_F(SelfRemovalTest, ReadOnlyUninstallerFromACdGoesAndTheLogEndsWithTheUninstallersOutcome) {
  // Installed from a CD, the uninstaller keeps the read-only mark of its source.
  machine_.Files().SetAttributes(kUninstaller, platform::kAttributeReadOnly);
  RunProgram(machine_, kUninstaller, {"-s", "-log", "C:\\removal.log"});
  EXPECT_EQ(RunRemovalTail(machine_), 0u);
  EXPECT_FALSE(machine_.Files().Exists(kUninstaller));
  EXPECT_FALSE(machine_.Files().Exists(kFolder));

  // The tail, whose exit code nobody receives, adds no Outcome line of its own.
  const std::string log = machine_.Files().ReadFile("C:\\removal.log").value_or("");
  const std::string outcome = "Outcome: complete, exit code 0\r\n";
  std::size_t outcomes = 0;
  for (std::size_t at = log.find("Outcome:"); at != std::string::npos;
       at = log.find("Outcome:", at + 1)) {
    ++outcomes;
  }
  EXPECT_EQ(outcomes, 2u) << log;
  EXPECT_NE(log.find("Run: removal tail"), std::string::npos) << log;
  EXPECT_LT(log.rfind(outcome), log.find("Run: removal tail")) << log;
}

TEST_F(SelfRemovalTest, SilentUninstallPassesTheSwitchAndShowsNothing) {
  RunProgram(machine_, kUninstaller, {"-s"});
  ASSERT_EQ(machine_.Processes().All().size(), 3u);
  EXPECT_EQ(Removal().GetPlatform().process.Arguments(),
            (std::vector<std::string>{Removal().Spec().modulePath, "-delself", kUninstaller, "-s",
                                      "-outcome", "-restartcode"}));
  EXPECT_EQ(Tail().GetPlatform().process.Arguments().size(), 4u);
  EXPECT_EQ(RunRemovalTail(machine_), 0u);
  EXPECT_TRUE(machine_.GetUser().Boxes().empty());
  EXPECT_FALSE(machine_.Files().Exists(kFolder));
}

TEST_F(SelfRemovalTest, PathsWithBlanksArriveAsOneArgument) {
  // The uninstaller's folder has blanks; the temporary copy's does not, so only one is quoted.
  machine_.GetUser().WillAnswer(BoxResult::Yes);
  machine_.GetUser().WillAnswer(BoxResult::Ok);
  RunProgram(machine_, kUninstaller);
  for (sim::Process* copy : {&Removal(), &Tail()}) {
    const std::string commandLine = copy->CommandLine();
    EXPECT_EQ(commandLine.find('"'), commandLine.find(" -delself ") + 10);
    EXPECT_EQ(copy->GetPlatform().process.Arguments()[2], kUninstaller);
  }
}

TEST_F(SelfRemovalTest, RemovalThatDidNotFinishKeepsTheUninstallerForAnotherTry) {
  // The product's key cannot be deleted: the entry stays, so must the program it runs.
  machine_.Registry().SetString(platform::kHkeyLocalMachine, "SOFTWARE\\Corvantis\\Pictavo 6",
                                "Path", "C:\\Program Files\\Pictavo 6");
  machine_.Faults().Set(sim::NoAdministratorRights());
  ProgramRun run = RunProgram(machine_, kUninstaller, {"-s"});
  EXPECT_EQ(run.exitCode, 1603u);
  ASSERT_EQ(machine_.Processes().All().size(), 2u) << "no second copy";
  EXPECT_EQ(Removal().ExitCode(), 1603u);
  EXPECT_TRUE(machine_.Files().Exists(kUninstaller));
  EXPECT_FALSE(machine_.Files().Exists(std::string(kFolder) + "Pictv6.exe"));
  // The copy itself goes at the next start.
  const std::string copy = Removal().Spec().modulePath;
  EXPECT_TRUE(machine_.Files().Exists(copy));
  machine_.Reboot();
  EXPECT_FALSE(machine_.Files().Exists(copy));
}

TEST_F(SelfRemovalTest, FileInUseGoesWithItsFolderAtTheNextStart) {
  for (const bool restartCode : {false, true}) {
    SCOPED_TRACE(restartCode ? "-restartcode" : "plain");
    sim::Machine machine;
    LayDownTheProduct(machine);
    machine.Files().SetInUse(std::string(kFolder) + "Pictv6.exe", sim::InUse::NotRenamable);
    std::vector<std::string> arguments{"-s"};
    if (restartCode) {
      arguments.push_back("-RestartCode");
    }
    // Callers who did not ask for the restart code have always seen 0 here.
    EXPECT_EQ(RunProgram(machine, kUninstaller, arguments).exitCode, restartCode ? 3010u : 0u);
    EXPECT_EQ(RunRemovalTail(machine), 0u);
    EXPECT_TRUE(machine.Files().Exists(std::string(kFolder) + "Pictv6.exe"));
    EXPECT_FALSE(machine.Files().Exists(kUninstaller));
    machine.Reboot();
    EXPECT_FALSE(machine.Files().Exists(kFolder));
  }
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
  EXPECT_EQ(machine_.Processes().All().back()->SleptMilliseconds(), 10000u);
  EXPECT_TRUE(machine_.Processes().Waits().empty());
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
  void SetUp() override {
    machine_.Faults().Set(sim::Fault{
        .error = 5, .call = "MoveFileExA", .object = sim::kLocalMachine, .lasting = true});
  }
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
      machine_.Processes().Start({"C:\\Temp\\uni1.tmp", {}, {}}).GetPlatform().files;
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
  sim::Process& uninstaller = machine_.Processes().Start({kUninstaller, {"-s"}, {}});
  uninstaller.Launch([](platform::Platform& platform) {
    platform.process.CreateProcess(
        "D:\\t\\uni1.tmp", "D:\\t\\uni1.tmp -delself \"" + std::string(kUninstaller) + "\" -s", "");
  });
  RunRemovalTail(machine_);
  EXPECT_EQ(Tail().WaitedMilliseconds(), 10000u);
  EXPECT_EQ(Tail().SleptMilliseconds(), 0u);
  EXPECT_TRUE(machine_.Files().Exists(kUninstaller));
  EXPECT_FALSE(machine_.Files().Exists(std::string(kFolder) + "Pictv6.exe"));
}

}  // namespace
