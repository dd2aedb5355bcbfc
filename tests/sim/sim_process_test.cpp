// Simulated processes as the removal sees them: their program files and current folders in
// use while they run, the start of a replacing process, pauses, shell notices, the reboot and
// the snapshot of the whole machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/sim/machine.h"

namespace {

using platform::kHkeyUsers;
using platform::kMoveFileDelayUntilReboot;
using std::string_literals::operator""s;

constexpr char kProgram[] = "C:\\Program Files\\App\\app.exe";

class SimProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { machine_.Files().WriteFile(kProgram, "MZ"); }
  sim::Machine machine_;
  sim::FileSystem& files_ = machine_.Files();
};

TEST_F(SimProcessTest, RunningProgramFileIsInUseUntilTheProcessEnds) {
  sim::Process& process = machine_.Processes().Start({kProgram, {}, {}});
  sim::Process& other = machine_.Processes().Start({"C:\\other.exe", {}, {}});
  process.Run([&](platform::Platform& platform) {
    EXPECT_FALSE(platform.files.DeleteFile(kProgram));
    EXPECT_FALSE(other.GetPlatform().files.DeleteFile(kProgram));
    EXPECT_FALSE(platform.files.CopyFile("C:\\other.exe", kProgram, false));
    // Windows lets a running program file be renamed, and back.
    EXPECT_TRUE(platform.files.MoveFileEx(kProgram, "C:\\renamed.exe", 0));
    EXPECT_FALSE(platform.files.DeleteFile("C:\\renamed.exe"));
    EXPECT_TRUE(platform.files.MoveFileEx("C:\\renamed.exe", kProgram, 0));
    return 0;
  });
  EXPECT_TRUE(other.GetPlatform().files.DeleteFile(kProgram));
}

TEST_F(SimProcessTest, HoldsEndWhateverWayTheProgramLeaves) {
  sim::Process& exits = machine_.Processes().Start({kProgram, {}, {}});
  exits.Run([](platform::Platform& platform) -> int { platform.process.ExitProcess(3); });
  EXPECT_FALSE(exits.Running());

  sim::Process& throws = machine_.Processes().Start({kProgram, {}, {}});
  EXPECT_THROW(throws.Run([](platform::Platform&) -> int { throw sim::ScriptError("x"); }),
               sim::ScriptError);
  EXPECT_TRUE(files_.DeleteFile(kProgram));
}

TEST_F(SimProcessTest, EachProcessHasItsOwnCurrentFolder) {
  files_.WriteFile("C:\\Program Files\\App\\data.txt", "app");
  files_.WriteFile("C:\\Elsewhere\\data.txt", "elsewhere");
  platform::FileSystem& app = machine_.Processes().Start({kProgram, {}, {}}).GetPlatform().files;
  platform::FileSystem& given =
      machine_.Processes().Start({kProgram, {}, {}, "C:\\Elsewhere"}).GetPlatform().files;
  // A folder that is missing leaves the machine's own.
  platform::FileSystem& lost =
      machine_.Processes().Start({"C:\\Gone\\x.exe", {}, {}}).GetPlatform().files;

  EXPECT_EQ(files_.FullPath("data.txt"), "C:\\data.txt");
  EXPECT_NE(app.GetFileAttributes("data.txt"), platform::kInvalidFileAttributes);
  EXPECT_NE(given.GetFileAttributes("DATA.TXT"), platform::kInvalidFileAttributes);
  EXPECT_EQ(lost.GetFileAttributes("data.txt"), platform::kInvalidFileAttributes);

  ASSERT_TRUE(app.SetCurrentDirectory("\\"));
  EXPECT_TRUE(app.AppendText("root.txt", "r"));
  EXPECT_TRUE(files_.Exists("C:\\root.txt"));
  EXPECT_TRUE(given.AppendText("data.txt", "!"));
  EXPECT_EQ(files_.ReadFile("C:\\Elsewhere\\data.txt"), "elsewhere!");
  EXPECT_FALSE(app.SetCurrentDirectory("C:\\Missing"));
  EXPECT_FALSE(app.SetCurrentDirectory(kProgram));
}

TEST_F(SimProcessTest, RunningProcessesCurrentFolderCannotBeRemoved) {
  files_.Remove(kProgram);
  sim::Process& process = machine_.Processes().Start({kProgram, {}, {}});
  process.Run([&](platform::Platform& platform) {
    EXPECT_FALSE(platform.files.RemoveDirectory("C:\\Program Files\\App"));
    EXPECT_FALSE(platform.files.MoveFileEx("C:\\Program Files", "C:\\Moved", 0));
    EXPECT_TRUE(platform.files.SetCurrentDirectory("\\"));
    EXPECT_TRUE(platform.files.RemoveDirectory("C:\\Program Files\\App"));
    return 0;
  });
  // Ended processes hold nothing: a folder that was current can go.
  files_.CreateFolders("C:\\Work");
  sim::Process& ended = machine_.Processes().Start({kProgram, {}, {}, "C:\\Work"});
  ended.Run([](platform::Platform&) { return 0; });
  EXPECT_TRUE(files_.RemoveDirectory("C:\\Work"));
}

TEST_F(SimProcessTest, ReplacingStartEndsTheCallerAndPreparesTheSuccessor) {
  files_.WriteFile("C:\\Temp dir\\uni1.tmp", "MZ");
  sim::Process& caller = machine_.Processes().Start({kProgram, {}, {}});
  bool returned = false;
  const unsigned code = caller.Run([&](platform::Platform& platform) {
    platform.files.SetCurrentDirectory("C:\\Program Files");
    platform.process.StartReplacingProcess(
        "C:\\Temp dir\\uni1.tmp",
        {"\"C:\\Temp dir\\uni1.tmp\"", "-delself", "\"C:\\Program Files\\App\\app.exe\""});
    returned = true;
    return 5;
  });
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(returned);
  ASSERT_EQ(machine_.Processes().All().size(), 2u);

  sim::Process& successor = *machine_.Processes().All().back();
  EXPECT_EQ(caller.Successor(), &successor);
  EXPECT_FALSE(successor.ExitCode());
  EXPECT_EQ(successor.CommandLine(),
            "\"C:\\Temp dir\\uni1.tmp\" -delself \"C:\\Program Files\\App\\app.exe\"");
  EXPECT_EQ(successor.Spec().modulePath, "C:\\Temp dir\\uni1.tmp");
  EXPECT_EQ(successor.GetPlatform().process.Arguments(),
            (std::vector<std::string>{"C:\\Temp dir\\uni1.tmp", "-delself", kProgram}));
  // The caller's program file is free once it has ended; the successor keeps its folder.
  successor.Run([&](platform::Platform& platform) {
    EXPECT_TRUE(platform.files.DeleteFile(kProgram));
    EXPECT_NE(platform.files.GetFileAttributes("App"), platform::kInvalidFileAttributes);
    EXPECT_FALSE(platform.files.DeleteFile("C:\\Temp dir\\uni1.tmp"));
    return 0;
  });
}

TEST_F(SimProcessTest, ReplacingStartOfAMissingProgramReturns) {
  sim::Process& caller = machine_.Processes().Start({kProgram, {}, {}});
  const unsigned code = caller.Run([](platform::Platform& platform) {
    platform.process.StartReplacingProcess("C:\\missing.exe", {"missing.exe"});
    platform.process.StartReplacingProcess("C:\\Program Files", {"x"});
    return 9;
  });
  EXPECT_EQ(code, 9u);
  EXPECT_EQ(machine_.Processes().All().size(), 1u);
  EXPECT_EQ(caller.Successor(), nullptr);
}

TEST(SimCommandLineTest, SplitsAsTheMicrosoftRuntime) {
  using Args = std::vector<std::string>;
  EXPECT_EQ(sim::SplitCommandLine(""), Args{});
  EXPECT_EQ(sim::SplitCommandLine("a.exe"), Args{"a.exe"});
  EXPECT_EQ(sim::SplitCommandLine("\"C:\\A b\\a.exe\"  x\t\"y z\" "),
            (Args{"C:\\A b\\a.exe", "x", "y z"}));
  // The program name takes backslashes as they are, even before a quote.
  EXPECT_EQ(sim::SplitCommandLine("\"C:\\dir\\\" next"), (Args{"C:\\dir\\", "next"}));
  // Backslashes count only before a quote.
  EXPECT_EQ(sim::SplitCommandLine("p C:\\a\\b \"C:\\x y\\\\\" a\\\\\\\"b"),
            (Args{"p", "C:\\a\\b", "C:\\x y\\", "a\\\"b"}));
  EXPECT_EQ(sim::SplitCommandLine("p \"say \"\"hi\"\"\" a\"b c\"d"),
            (Args{"p", "say \"hi\"", "ab cd"}));
  EXPECT_EQ(sim::SplitCommandLine("p \"\" x"), (Args{"p", "", "x"}));
}

TEST_F(SimProcessTest, CommandLineOfATestStartedProcessQuotesWhatHasBlanks) {
  sim::Process& process = machine_.Processes().Start({kProgram, {"-s", "a b"}, {}});
  EXPECT_EQ(process.CommandLine(), "\"C:\\Program Files\\App\\app.exe\" -s \"a b\"");
}

TEST_F(SimProcessTest, PausesAddUpAndShellNoticesAreRecorded) {
  sim::Process& process = machine_.Processes().Start({kProgram, {}, {}});
  process.Run([](platform::Platform& platform) {
    platform.process.Sleep(1000);
    platform.process.Sleep(250);
    platform.shell.ChangeNotify(platform::kShellEventAssociationChanged,
                                platform::kShellNotifyIdList);
    return 0;
  });
  EXPECT_EQ(process.SleptMilliseconds(), 1250u);
  EXPECT_EQ(
      machine_.Shell().Notifications(),
      (std::vector<sim::ShellNotification>{
          {process.Id(), platform::kShellEventAssociationChanged, platform::kShellNotifyIdList}}));
}

TEST_F(SimProcessTest, TempPathIsTheCurrentUsersExistingTempFolder) {
  platform::FileSystem& files = machine_.Processes().Start({kProgram, {}, {}}).GetPlatform().files;
  EXPECT_EQ(files.GetTempPath(), "C:\\Users\\User\\AppData\\Local\\Temp\\");
  EXPECT_TRUE(files_.Exists(files.GetTempPath()));

  const std::string second = "S-1-5-21-1000-1000-1000-1002";
  machine_.Registry().AddUser(second);
  machine_.Registry().SetCurrentUser(second);
  EXPECT_EQ(files.GetTempPath(), "C:\\Users\\User2\\AppData\\Local\\Temp\\");
  EXPECT_EQ(machine_.ProfileFolder(second), "C:\\Users\\User2");
  EXPECT_THROW(machine_.ProfileFolder("S-1-5-18"), sim::ScriptError);
}

TEST_F(SimProcessTest, EveryUserIsListedUnderUsersWithShellFolders) {
  const std::string second = "S-1-5-21-1000-1000-1000-1002";
  machine_.Registry().AddUser(second);
  platform::Registry& registry =
      machine_.Processes().Start({kProgram, {}, {}}).GetPlatform().registry;

  std::vector<std::string> sids;
  std::string name;
  for (std::uint32_t i = 0; registry.EnumKey(kHkeyUsers, i, name) == platform::kErrorSuccess; ++i) {
    sids.push_back(name);
  }
  EXPECT_EQ(sids, machine_.Registry().UserSids());
  ASSERT_EQ(sids.size(), 2u);

  for (const std::string& sid : sids) {
    platform::RegistryKey key = 0;
    ASSERT_EQ(registry.OpenKey(kHkeyUsers,
                               sid + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                     "Shell Folders",
                               platform::kKeyRead, key),
              platform::kErrorSuccess)
        << sid;
    platform::RegistryValue value;
    EXPECT_EQ(registry.QueryValue(key, "Programs", 260, value), platform::kErrorSuccess);
    EXPECT_EQ(registry.CloseKey(key), platform::kErrorSuccess);
  }
}

TEST_F(SimProcessTest, RebootCarriesOutDelayedOperationsThenWininit) {
  files_.WriteFile("C:\\a.tmp", "a");
  files_.WriteFile("C:\\b.new", "new b");
  files_.WriteFile("C:\\b.dll", "old b");
  files_.WriteFile("C:\\c.tmp", "c");
  files_.SetInUse("C:\\b.dll", sim::InUse::NotRenamable);
  ASSERT_TRUE(files_.MoveFileEx("C:\\a.tmp", "C:\\a.moved", kMoveFileDelayUntilReboot));
  // Runs after the delayed rename, so it finds the file at its new name.
  ASSERT_TRUE(files_.WritePrivateProfileSection(
      "rename", "NUL=C:\\a.moved\0C:\\b.dll=C:\\b.new\0NUL=C:\\c.tmp\0\0"s, "WININIT.INI"));
  files_.WriteFile("C:\\WINDOWS\\keep.ini", "");
  ASSERT_TRUE(files_.WritePrivateProfileSection("other", "k=v\0\0"s, "C:\\WINDOWS\\WININIT.INI"));

  machine_.Reboot();
  EXPECT_FALSE(files_.Exists("C:\\a.tmp"));
  EXPECT_FALSE(files_.Exists("C:\\a.moved"));
  EXPECT_EQ(files_.ReadFile("C:\\b.dll"), "new b");
  EXPECT_FALSE(files_.Exists("C:\\b.new"));
  EXPECT_FALSE(files_.Exists("C:\\c.tmp"));
  EXPECT_TRUE(files_.DelayedOperations().empty());
  EXPECT_FALSE(files_.ProfileSection("WININIT.INI", "rename"));
  EXPECT_EQ(files_.ReadFile("C:\\WINDOWS\\WININIT.INI"), "[other]\r\nk=v\r\n");
  // The file once in use is free now.
  EXPECT_TRUE(files_.DeleteFile("C:\\b.dll"));
}

TEST_F(SimProcessTest, SnapshotComparesTheWholeMachine) {
  const std::vector<std::string> before = machine_.Snapshot();
  const std::string line = "C:\\Program Files\\App\\app.exe [20] 2 bytes, hash ";
  EXPECT_NE(std::find_if(before.begin(), before.end(),
                         [&](const std::string& entry) { return entry.rfind(line, 0) == 0; }),
            before.end())
      << "file lines show attributes, size and hash";
  EXPECT_NE(std::find(before.begin(), before.end(), "C:\\Program Files\\ [10]"), before.end());

  files_.WriteFile("C:\\Program Files\\Other\\x.txt", "x");
  machine_.Registry().SetString(platform::kHkeyLocalMachine, "SOFTWARE\\Other", "v", "1");
  EXPECT_NE(machine_.Snapshot(), before);
  files_.Remove("C:\\Program Files\\Other");
  EXPECT_NE(machine_.Snapshot(), before);  // the key is still there
  machine_.Registry().DeleteTree(platform::kHkeyLocalMachine, "SOFTWARE\\Other");
  EXPECT_EQ(machine_.Snapshot(), before);
}

TEST_F(SimProcessTest, SnapshotShowsWhatWaitsForTheNextStart) {
  const std::vector<std::string> before = machine_.Snapshot();
  ASSERT_TRUE(files_.MoveFileEx(kProgram, std::nullopt, kMoveFileDelayUntilReboot));
  const std::vector<std::string> pending = machine_.Snapshot();
  EXPECT_NE(std::find(pending.begin(), pending.end(),
                      "at the next start: delete C:\\Program Files\\App\\app.exe"),
            pending.end());
  machine_.Reboot();
  files_.WriteFile(kProgram, "MZ");
  EXPECT_EQ(machine_.Snapshot(), before);
}

TEST_F(SimProcessTest, WithoutAdministratorRightsNothingWaitsForTheNextStart) {
  // The list of delayed operations lies in the machine's part of the registry.
  machine_.Faults().Set(sim::NoAdministratorRights());
  platform::FileSystem& files = machine_.Processes().Start({kProgram, {}, {}}).GetPlatform().files;
  EXPECT_FALSE(files.MoveFileEx(kProgram, std::nullopt, kMoveFileDelayUntilReboot));
  machine_.Faults().Set(std::nullopt);
  EXPECT_TRUE(files.MoveFileEx(kProgram, std::nullopt, kMoveFileDelayUntilReboot));
  EXPECT_EQ(files_.DelayedOperations().size(), 1u);
}

}  // namespace

namespace {

using platform::KernelHandle;
using platform::kInfinite;
using platform::kNoHandle;

constexpr char kChild[] = "C:\\Program Files\\App\\child.exe";

// A process started by another and not run yet runs inside a wait for it, with the machine's
// program, as Windows would have run it meanwhile.
class SimProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.Files().WriteFile(kProgram, "MZ");
    machine_.Files().WriteFile(kChild, "MZ");
  }
  // The children's program: records its arguments and its current folder, ends with 42.
  void SetChildProgram() {
    machine_.Processes().SetProgram([this](platform::Platform& platform) {
      ++runs_;
      arguments_ = platform.process.Arguments();
      folder_ = platform.files.GetFullPathName(".");
      return 42;
    });
  }
  sim::Machine machine_;
  int runs_ = 0;
  std::vector<std::string> arguments_;
  std::string folder_;
};

TEST(SimProgramWaitTest, WaitRunsTheChildOnlyWhereWindowsWouldHaveRunItMeanwhile) {
  enum class Start { CreateProcess, StartProcess, ByTheTest };
  struct Case {
    const char* scene;
    bool program;
    Start start;
    unsigned milliseconds;
    bool ended;  // what the wait answers, and whether the child ran
  };
  const Case cases[] = {
      {"CreateProcess, no time limit", true, Start::CreateProcess, kInfinite, true},
      {"CreateProcess, no time at all", true, Start::CreateProcess, 0, true},
      {"StartProcess, a time limit", true, Start::StartProcess, 500, true},
      {"StartProcess, no program", false, Start::StartProcess, 500, false},
      {"a process the test made", true, Start::ByTheTest, 500, false},
  };
  for (const Case& c : cases) {
    sim::Machine machine;
    machine.Files().WriteFile(kProgram, "MZ");
    machine.Files().WriteFile(kChild, "MZ");
    int runs = 0;
    if (c.program) {
      machine.Processes().SetProgram([&](platform::Platform& platform) {
        ++runs;
        platform.files.DeleteFile("missing.txt");  // its own failure, not its waiter's
        return 42;
      });
    }
    sim::Process& parent = machine.Processes().Start({kProgram, {}, {}});
    unsigned childId = 0;
    parent.Run([&](platform::Platform& platform) {
      platform::Session& session = platform.session;
      KernelHandle handle = kNoHandle;
      if (c.start == Start::StartProcess) {
        handle = session.StartProcess({}, "child.exe -x");
        childId = machine.Processes().Created().back().process->Id();
      } else {
        if (c.start == Start::CreateProcess) {
          EXPECT_TRUE(platform.process.CreateProcess({}, "child.exe -x", ""));
          childId = machine.Processes().Created().back().process->Id();
        } else {
          childId = machine.Processes().Start({kChild, {"-x"}, {}}).Id();
        }
        handle = session.OpenProcess(childId, platform::kSynchronize);
      }
      EXPECT_NE(handle, kNoHandle) << c.scene;
      EXPECT_EQ(session.WaitForProcessEnd(handle, c.milliseconds), c.ended) << c.scene;
      EXPECT_EQ(platform.process.LastError(), 0u) << c.scene;
      return 0;
    });
    EXPECT_EQ(runs, c.ended ? 1 : 0) << c.scene;
    EXPECT_EQ(machine.Processes().Waits(),
              (std::vector<sim::ProcessWait>{{parent.Id(), childId, c.milliseconds, c.ended}}))
        << c.scene;
    EXPECT_EQ(parent.WaitedMilliseconds(), c.ended ? 0u : c.milliseconds) << c.scene;
  }
}

TEST_F(SimProgramTest, StartedChildRunsInTheCallersFolderAndGivesItsExitCode) {
  SetChildProgram();
  machine_.Files().CreateFolders("C:\\Work");
  sim::Process& parent = machine_.Processes().Start({kProgram, {}, {}});
  parent.Run([&](platform::Platform& platform) {
    platform::Session& session = platform.session;
    EXPECT_TRUE(platform.files.SetCurrentDirectory("C:\\Work"));
    // The program is looked for as CreateProcessA looks for it: beside the caller's program.
    const KernelHandle child = session.StartProcess({}, "child -x \"a b\"");
    EXPECT_NE(child, kNoHandle);
    EXPECT_EQ(session.ProcessExitCode(child), std::nullopt);
    EXPECT_EQ(runs_, 0);
    // The handle may wait and read, not end the process.
    EXPECT_FALSE(session.TerminateProcess(child, 1));
    EXPECT_TRUE(session.WaitForProcessEnd(child, kInfinite));
    EXPECT_EQ(session.ProcessExitCode(child), 42u);
    // Waiting again runs nothing again.
    EXPECT_TRUE(session.WaitForProcessEnd(child, kInfinite));
    EXPECT_EQ(runs_, 1);
    EXPECT_TRUE(session.CloseHandle(child));
    EXPECT_EQ(session.ProcessExitCode(child), std::nullopt);
    return 0;
  });
  EXPECT_EQ(arguments_, (std::vector<std::string>{"child", "-x", "a b"}));
  EXPECT_EQ(folder_, "C:\\Work");
  ASSERT_EQ(machine_.Processes().Created().size(), 1u);
  const sim::CreatedProcess& created = machine_.Processes().Created()[0];
  EXPECT_EQ(created.parentId, parent.Id());
  EXPECT_EQ(created.commandLine, "child -x \"a b\"");
  EXPECT_EQ(created.workingFolder, "");
  EXPECT_EQ(created.process->Spec().modulePath, kChild);
  EXPECT_EQ(created.process->ExitCode(), 42u);
}

TEST_F(SimProgramTest, ChildrenRunInsideTheirParentsWaitAndMayWaitThemselves) {
  std::vector<std::string> order;
  machine_.Processes().SetProgram([&](platform::Platform& platform) {
    const std::vector<std::string> arguments = platform.process.Arguments();
    order.push_back("start " + arguments.back());
    int code = 0;
    if (arguments.back() == "outer") {
      const KernelHandle inner = platform.session.StartProcess(kChild, "child inner");
      EXPECT_TRUE(platform.session.WaitForProcessEnd(inner, kInfinite));
      code = static_cast<int>(platform.session.ProcessExitCode(inner).value_or(0)) + 1;
    } else {
      platform.process.ExitProcess(7);
    }
    order.push_back("end " + arguments.back());
    return code;
  });
  machine_.Processes().Start({kProgram, {}, {}}).Run([&](platform::Platform& platform) {
    const KernelHandle outer = platform.session.StartProcess(kChild, "child outer");
    EXPECT_TRUE(platform.session.WaitForProcessEnd(outer, 10));
    EXPECT_EQ(platform.session.ProcessExitCode(outer), 8u);
    return 0;
  });
  EXPECT_EQ(order, (std::vector<std::string>{"start outer", "start inner", "end outer"}));
}

TEST_F(SimProgramTest, WithoutAProgramAnEndlessWaitIsAScriptErrorAndAMissingProgramNoStart) {
  machine_.Processes().Start({kProgram, {}, {}}).Run([&](platform::Platform& platform) {
    platform::Session& session = platform.session;
    EXPECT_EQ(session.StartProcess({}, "missing.exe"), kNoHandle);
    EXPECT_EQ(platform.process.LastError(), static_cast<unsigned>(platform::kErrorFileNotFound));
    EXPECT_EQ(session.StartProcess("C:\\Program Files\\App", "App"), kNoHandle);
    const KernelHandle child = session.StartProcess(kChild, "child");
    EXPECT_NE(child, kNoHandle);
    EXPECT_THROW(session.WaitForProcessEnd(child, kInfinite), sim::ScriptError);
    EXPECT_FALSE(session.WaitForProcessEnd(child, 0));
    // Its own run, by the test, ends it as any other.
    machine_.Processes().Created().back().process->Run([](platform::Platform&) { return 5; });
    EXPECT_TRUE(session.WaitForProcessEnd(child, kInfinite));
    EXPECT_EQ(session.ProcessExitCode(child), 5u);
    return 0;
  });
  EXPECT_EQ(machine_.Processes().Created().size(), 1u);
}

TEST_F(SimProgramTest, EachProcessKeepsItsOwnLastError) {
  sim::FileSystem& files = machine_.Files();
  platform::Platform& first = machine_.Processes().Start({kProgram, {}, {}}).GetPlatform();
  platform::Platform& second = machine_.Processes().Start({kProgram, {}, {}}).GetPlatform();
  EXPECT_EQ(first.process.LastError(), 0u);
  EXPECT_FALSE(first.files.DeleteFile("C:\\missing.txt"));
  EXPECT_FALSE(second.files.CreateDirectory("C:\\Program Files"));
  EXPECT_TRUE(first.files.CreateDirectory("C:\\New"));
  EXPECT_EQ(first.process.LastError(), static_cast<unsigned>(platform::kErrorFileNotFound));
  EXPECT_EQ(second.process.LastError(), static_cast<unsigned>(platform::kErrorAlreadyExists));
  EXPECT_EQ(files.LastError(), 0u);
}

}  // namespace
