// What the simulated machine offers beyond the conformance suite's reach: environments handed
// from a process to its successor, the library search with and without its restriction, and
// shell links whose steps a test makes fail.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/machine.h"

namespace {

constexpr char kProgram[] = "C:\\Downloads\\setup.exe";

class SimShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files_.WriteFile(kProgram, "MZ");
    files_.WriteFile("C:\\Program Files\\Pictavo 6\\Pictv6.exe", "MZ");
  }

  sim::Process& Start(sim::ProcessSpec spec = {kProgram, {}, {}}) {
    return machine_.Processes().Start(std::move(spec));
  }

  sim::Machine machine_;
  sim::FileSystem& files_ = machine_.Files();
};

TEST_F(SimShellTest, EnvironmentBelongsToTheProcessAndPassesToItsSuccessor) {
  sim::Process& first = Start({kProgram, {}, {}, {}, {{"SfxName", "C:\\Downloads\\p6.exe"}}});
  sim::Process& stranger = Start();
  first.Run([](platform::Platform& platform) {
    EXPECT_EQ(platform.process.GetEnvironmentVariable("SFXNAME"), "C:\\Downloads\\p6.exe");
    platform.process.StartReplacingProcess(kProgram, {"setup.exe", "/silent"});
    return 1;
  });
  ASSERT_NE(first.Successor(), nullptr);
  first.Successor()->Run([](platform::Platform& platform) {
    EXPECT_EQ(platform.process.GetEnvironmentVariable("sfxname"), "C:\\Downloads\\p6.exe");
    return 0;
  });
  stranger.Run([](platform::Platform& platform) {
    EXPECT_EQ(platform.process.GetEnvironmentVariable("sfxname"), std::nullopt);
    return 0;
  });
}

TEST_F(SimShellTest, SettingAVariableReplacesItWhateverTheCaseOfItsName) {
  sim::Process& process = Start({kProgram, {}, {}, {}, {{"SfxName", "old"}}});
  process.SetEnvironmentVariable("SFXNAME", "new");
  EXPECT_EQ(process.GetPlatform().process.GetEnvironmentVariable("sfxName"), "new");
  EXPECT_EQ(process.Spec().environment.size(), 1u);
  process.SetEnvironmentVariable("sfxname", std::nullopt);
  EXPECT_EQ(process.GetPlatform().process.GetEnvironmentVariable("SfxName"), std::nullopt);
}

TEST_F(SimShellTest, LibraryBesideTheProgramIsFoundOnlyWhereTheSearchIsNotRestricted) {
  files_.WriteFile("C:\\Downloads\\helper.dll", "MZ");
  platform::Process& process = Start().GetPlatform().process;
  EXPECT_TRUE(machine_.Processes().LibrarySearchRestricted());
  EXPECT_FALSE(process.CanLoadLibrary("helper.dll"));
  machine_.Processes().SetLibrarySearchRestricted(false);
  EXPECT_TRUE(process.CanLoadLibrary("HELPER.DLL"));
  EXPECT_TRUE(process.CanLoadLibrary("helper"));
  // The folder of the program, not the current one.
  sim::Process& elsewhere = Start({"C:\\Other\\setup.exe", {}, {}, "C:\\Downloads"});
  EXPECT_FALSE(elsewhere.GetPlatform().process.CanLoadLibrary("helper.dll"));
}

TEST_F(SimShellTest, SystemLibrariesComeFromTheListAndTheSystemFolder) {
  platform::Process& process = Start().GetPlatform().process;
  EXPECT_TRUE(process.CanLoadLibrary("Comctl32.dll"));
  EXPECT_FALSE(process.CanLoadLibrary("riched20.dll"));
  machine_.Processes().AddSystemLibrary("RichEd20.DLL");
  EXPECT_TRUE(process.CanLoadLibrary("riched20.dll"));

  machine_.Processes().RemoveSystemLibrary("COMCTL32.dll");
  EXPECT_FALSE(process.CanLoadLibrary("comctl32.dll"));
  files_.WriteFile("C:\\WINDOWS\\system32\\comctl32.dll", "MZ");
  EXPECT_TRUE(process.CanLoadLibrary("comctl32.dll"));
  // A folder of that name is no library.
  files_.CreateFolders("C:\\WINDOWS\\system32\\odd.dll");
  EXPECT_FALSE(process.CanLoadLibrary("odd.dll"));
}

TEST_F(SimShellTest, EachFailingStepOfAShellLinkFailsAlone) {
  platform::Shell& shell = Start().GetPlatform().shell;
  const std::string target = "C:\\Program Files\\Pictavo 6\\Pictv6.exe";
  const std::string path = "C:\\Users\\Public\\Desktop\\Pictavo 6.lnk";

  machine_.Faults().Set(sim::Fault{.call = "CoCreateInstance", .object = "ShellLink"});
  EXPECT_EQ(shell.CreateShellLink(), nullptr);

  auto link = shell.CreateShellLink();
  ASSERT_NE(link, nullptr);
  for (const char* step :
       {"IShellLink::SetPath", "IShellLink::SetDescription", "IShellLink::SetWorkingDirectory"}) {
    machine_.Faults().Add(sim::Fault{.call = step, .lasting = true});
  }
  EXPECT_FALSE(link->SetPath(target));
  EXPECT_FALSE(link->SetDescription("Pictavo 6"));
  EXPECT_FALSE(link->SetWorkingDirectory("C:\\Program Files\\Pictavo 6"));
  ASSERT_TRUE(link->Save(path));
  // A failed step leaves nothing behind in the link.
  EXPECT_EQ(machine_.Shell().ReadShortcut(path), (sim::Shortcut{}));

  machine_.Faults().Set(
      sim::Fault{.error = platform::kHresultFail, .call = "IShellLink::Save", .lasting = true});
  EXPECT_TRUE(link->SetPath(target));
  files_.Remove(path);
  EXPECT_FALSE(link->Save(path));
  EXPECT_FALSE(files_.Exists(path));
}

TEST_F(SimShellTest, ReadOnlyLinkIsNotReplaced) {
  // Wine running as root writes through the read-only bit; Windows refuses.
  const std::string path = "C:\\Users\\Public\\Desktop\\Pictavo 6.lnk";
  auto link = Start().GetPlatform().shell.CreateShellLink();
  ASSERT_NE(link, nullptr);
  ASSERT_TRUE(link->SetDescription("first"));
  ASSERT_TRUE(link->Save(path));
  files_.SetAttributes(path, platform::kAttributeReadOnly);
  ASSERT_TRUE(link->SetDescription("second"));
  EXPECT_FALSE(link->Save(path));
  ASSERT_TRUE(machine_.Shell().ReadShortcut(path));
  EXPECT_EQ(machine_.Shell().ReadShortcut(path)->description, "first");
}

TEST_F(SimShellTest, FailedSaveLeavesAnHresultAsTheProcesssLastError) {
  const std::string desktop = "C:\\Users\\Public\\Desktop";
  files_.CreateFolders(desktop + "\\Locked");
  files_.DenyChanges(desktop + "\\Locked");
  files_.CreateFolders("D:\\Links");
  files_.SetDriveCapacity('D', 10);
  sim::Process& process = Start();
  platform::Platform& platform = process.GetPlatform();
  auto link = platform.shell.CreateShellLink();
  ASSERT_NE(link, nullptr);
  ASSERT_TRUE(link->SetPath("C:\\Program Files\\Pictavo 6\\Pictv6.exe"));

  struct Case {
    const char* scene;
    std::string path;
    unsigned result;
  };
  const std::vector<Case> cases = {
      {"a missing folder", desktop + "\\Missing\\P.lnk", 0x80070003},
      {"a denied folder", desktop + "\\Locked\\P.lnk", 0x80070005},
      {"a full drive", "D:\\Links\\P.lnk", 0x80070070},
      {"a path too long", desktop + "\\" + std::string(260, 'x') + ".lnk", 0x8007007A},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(link->Save(c.path)) << c.scene;
    EXPECT_EQ(platform.process.LastError(), c.result) << c.scene;
  }
  // The full drive keeps what fitted of the link; the test's own side saw no error.
  EXPECT_EQ(files_.ReadFile("D:\\Links\\P.lnk")->size(), 10u);
  EXPECT_EQ(machine_.Shell().ReadShortcut("D:\\Links\\P.lnk"), std::nullopt);
  EXPECT_EQ(files_.LastError(), 0u);

  machine_.Faults().Set(
      sim::Fault{.error = platform::kHresultFail, .call = "IShellLink::Save", .lasting = true});
  EXPECT_FALSE(link->Save(desktop + "\\P.lnk"));
  EXPECT_EQ(platform.process.LastError(), platform::kHresultFail);
  machine_.Faults().Set(std::nullopt);
  EXPECT_TRUE(link->Save(desktop + "\\P.lnk"));
  // Success leaves the last failure's code, as Windows does.
  EXPECT_EQ(platform.process.LastError(), platform::kHresultFail);
}

TEST_F(SimShellTest, OnlySavedLinksReadBack) {
  files_.WriteFile("C:\\plain.lnk", "L");
  files_.WriteFile("C:\\almost.lnk", std::string("L\0\0\0sim-shortcut\0a\0b\0", 21));
  EXPECT_EQ(machine_.Shell().ReadShortcut("C:\\plain.lnk"), std::nullopt);
  EXPECT_EQ(machine_.Shell().ReadShortcut("C:\\almost.lnk"), std::nullopt);
  EXPECT_EQ(machine_.Shell().ReadShortcut("C:\\missing.lnk"), std::nullopt);
}

TEST_F(SimShellTest, DoubleByteCharactersCountOnceTowardsTheWidePathLimit) {
  machine_.System().SetCodePage(932);
  files_.CreateFolders("C:\\Links");
  // 0x82 0xA0 is one character in code page 932.
  std::string name;
  for (int i = 0; i < 246; ++i) {
    name += "\x82\xA0";
  }
  const std::string longest = "C:\\Links\\" + name + ".lnk";  // 9 + 246 + 4 characters
  auto link = Start().GetPlatform().shell.CreateShellLink();
  ASSERT_NE(link, nullptr);
  EXPECT_TRUE(link->Save(longest));
  EXPECT_FALSE(link->Save("C:\\Links\\" + name + "\x82\xA0.lnk"));

  machine_.System().SetCodePage(1252);  // now every byte is a character of its own
  EXPECT_FALSE(link->Save(longest));
  EXPECT_TRUE(link->Save("C:\\Links\\" + name.substr(0, 246) + ".lnk"));
}

TEST_F(SimShellTest, CreatedProcessGetsTheCallersEnvironmentAndItsOwnFolder) {
  const std::string product = "C:\\Program Files\\Pictavo 6\\Pictv6.exe";
  sim::Process& setup = Start({kProgram, {}, {}, {}, {{"SfxName", "p6.exe"}}});
  platform::Process& process = setup.GetPlatform().process;
  ASSERT_TRUE(
      process.CreateProcess({}, "\"" + product + "\" /first", "C:\\Program Files\\Pictavo 6"));
  ASSERT_EQ(machine_.Processes().Created().size(), 1u);
  const sim::CreatedProcess& created = machine_.Processes().Created()[0];
  EXPECT_EQ(created.parentId, setup.Id());
  EXPECT_EQ(created.workingFolder, "C:\\Program Files\\Pictavo 6");
  ASSERT_NE(created.process, nullptr);
  EXPECT_FALSE(created.process->Running());
  EXPECT_EQ(created.process->Spec().modulePath, product);
  EXPECT_EQ(created.process->Spec().arguments, std::vector<std::string>{"/first"});
  EXPECT_EQ(created.process->CommandLine(), "\"" + product + "\" /first");
  created.process->Run([](platform::Platform& platform) {
    EXPECT_EQ(platform.process.GetEnvironmentVariable("SFXNAME"), "p6.exe");
    EXPECT_NE(platform.files.GetFileAttributes("Pictv6.exe"), platform::kInvalidFileAttributes);
    return 0;
  });
}

TEST_F(SimShellTest, UnquotedProgramIsTheShortestRunOfWordsThatNamesAProgram) {
  files_.WriteFile("C:\\Program Files\\Pictavo.exe", "MZ");
  platform::Process& process = Start().GetPlatform().process;
  ASSERT_TRUE(process.CreateProcess({}, "C:\\Program Files\\Pictavo 6\\Pictv6.exe", ""));
  // "C:\Program Files\Pictavo" (made Pictavo.exe) lies before the product's own name.
  EXPECT_EQ(machine_.Processes().Created().back().process->Spec().modulePath,
            "C:\\Program Files\\Pictavo.exe");
  files_.Remove("C:\\Program Files\\Pictavo.exe");
  ASSERT_TRUE(process.CreateProcess({}, "C:\\Program Files\\Pictavo 6\\Pictv6 /x", ""));
  EXPECT_EQ(machine_.Processes().Created().back().process->Spec().modulePath,
            "C:\\Program Files\\Pictavo 6\\Pictv6.exe");
}

TEST_F(SimShellTest, CreateProcessFailsWithoutProgramOrFolder) {
  files_.WriteFile("C:\\WINDOWS\\system32\\notepad.exe", "MZ");
  platform::Process& process = Start().GetPlatform().process;
  EXPECT_FALSE(process.CreateProcess({}, "C:\\Missing\\Pictv6.exe", ""));
  EXPECT_FALSE(process.CreateProcess({}, "\"C:\\Program Files\\Pictavo 6\"", ""));  // a folder
  EXPECT_FALSE(process.CreateProcess({}, "notepad.exe", "C:\\Missing"));
  EXPECT_TRUE(machine_.Processes().Created().empty());
  // A bare name is found in the system folder.
  EXPECT_TRUE(process.CreateProcess({}, "notepad readme.txt", "C:\\Downloads"));
  EXPECT_EQ(machine_.Processes().Created().size(), 1u);
}

TEST_F(SimShellTest, OpenTakesExistingFilesAndWebAddresses) {
  files_.WriteFile("C:\\Downloads\\readme.txt", "text");
  platform::Shell& shell = Start().GetPlatform().shell;
  EXPECT_TRUE(shell.Open("readme.txt"));  // beside the program, its current folder
  EXPECT_TRUE(shell.Open("http://www.corvantis.example"));
  EXPECT_FALSE(shell.Open("C:\\Downloads\\missing.txt"));
  EXPECT_FALSE(shell.Open("C:\\Downloads"));
  EXPECT_FALSE(shell.Open("C:missing.txt"));  // a drive, not a scheme
  machine_.Faults().Set(sim::Fault{.call = "ShellExecuteA", .lasting = true});
  EXPECT_FALSE(shell.Open("http://www.corvantis.example"));
  EXPECT_EQ(machine_.Shell().OpenedFiles(),
            (std::vector<std::string>{"readme.txt", "http://www.corvantis.example"}));
}

}  // namespace

TEST_F(SimShellTest, TheDesktopOpensOnlyWhereADesktopShellRunsAndTakesTheRequest) {
  sim::Process& setup = Start();
  platform::Shell& shell = setup.GetPlatform().shell;
  EXPECT_FALSE(shell.OpenFromDesktop("http://www.corvantis.example", ""));  // a fresh machine
  machine_.Shell().SetDesktopShell(true);
  EXPECT_TRUE(shell.OpenFromDesktop("C:\\P\\Pictv6.exe", "C:\\P"));
  machine_.Faults().Set(sim::Fault{.call = "IShellDispatch2::ShellExecute", .object = "x.exe"});
  EXPECT_FALSE(shell.OpenFromDesktop("x.exe", ""));
  EXPECT_TRUE(shell.OpenFromDesktop("y.exe", ""));
  EXPECT_EQ(machine_.Shell().DesktopOpens(),
            (std::vector<sim::DesktopOpen>{{setup.Id(), "C:\\P\\Pictv6.exe", "C:\\P"},
                                           {setup.Id(), "y.exe", ""}}));
  // The desktop's starts are its own: the setup neither opened nor created anything.
  EXPECT_TRUE(machine_.Shell().OpenedFiles().empty());
  EXPECT_TRUE(machine_.Processes().Created().empty());
}
