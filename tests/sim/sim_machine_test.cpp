#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/sim/machine.h"

namespace {

using platform::BoxResult;

// Records whether its destructor ran: the unwinding of an exited process frees its objects.
struct Guard {
  bool& destroyed;
  ~Guard() { destroyed = true; }
};

TEST(SimMachineTest, ExitProcessEndsOnlyThatProcessWithItsCode) {
  sim::Machine machine;
  sim::Process& first = machine.Processes().Start({"C:\\A\\one.exe", {"-x"}, {}});
  sim::Process& second = machine.Processes().Start({"C:\\B\\two.exe", {}, {}});

  bool reachedAfterExit = false;
  bool destroyed = false;
  unsigned code = first.Run([&](platform::Platform& platform) {
    Guard guard{destroyed};
    platform.process.ExitProcess(7);
    reachedAfterExit = true;
    return 0;
  });
  EXPECT_EQ(code, 7u);
  EXPECT_FALSE(reachedAfterExit);
  EXPECT_TRUE(destroyed);

  EXPECT_EQ(second.Run([](platform::Platform&) { return 3; }), 3u);
  EXPECT_EQ(first.ExitCode(), 7u);
  EXPECT_EQ(second.ExitCode(), 3u);
  EXPECT_NE(first.Id(), second.Id());
}

TEST(SimMachineTest, ProcessRunsOnlyOnce) {
  sim::Machine machine;
  sim::Process& process = machine.Processes().Start({"C:\\A\\one.exe", {}, {}});
  process.Run([](platform::Platform&) { return 0; });
  EXPECT_THROW(process.Run([](platform::Platform&) { return 0; }), sim::ScriptError);
}

TEST(SimMachineTest, EachProcessSeesItsOwnCommandLineAndProgramFile) {
  sim::Machine machine;
  sim::Process& typed = machine.Processes().Start({"C:\\A b\\one.exe", {"-s", "x y"}, "one"});
  sim::Process& bare = machine.Processes().Start({"C:\\B\\two.exe", {}, {}});

  EXPECT_EQ(typed.GetPlatform().process.ModuleFileName(), "C:\\A b\\one.exe");
  EXPECT_EQ(typed.GetPlatform().process.Arguments(),
            (std::vector<std::string>{"one", "-s", "x y"}));
  EXPECT_EQ(bare.GetPlatform().process.Arguments(), (std::vector<std::string>{"C:\\B\\two.exe"}));
}

TEST(SimUserTest, AnswersInScriptOrderAndRecordsEveryBox) {
  sim::Machine machine;
  sim::Process& process = machine.Processes().Start({"C:\\A\\one.exe", {}, {}});
  platform::UserInterface& ui = process.GetPlatform().ui;
  machine.GetUser().WillAnswer(BoxResult::Yes);
  machine.GetUser().WillAnswer(BoxResult::No);

  EXPECT_EQ(ui.MessageBox(0x42, "first", "c", {platform::Buttons::YesNo}), BoxResult::Yes);
  EXPECT_EQ(ui.MessageBox(platform::kNoWindow, "second", "c", {platform::Buttons::YesNo}),
            BoxResult::No);

  const auto& boxes = machine.GetUser().Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "first");
  EXPECT_EQ(boxes[0].owner, 0x42u);
  EXPECT_EQ(boxes[0].processId, process.Id());
  EXPECT_EQ(boxes[1].answer, BoxResult::No);
  EXPECT_FALSE(machine.GetUser().HasUnusedAnswers());
}

TEST(SimUserTest, UnforeseenOrDifferentBoxFailsTheTest) {
  sim::Machine machine;
  platform::UserInterface& ui =
      machine.Processes().Start({"C:\\A\\one.exe", {}, {}}).GetPlatform().ui;

  EXPECT_THROW(ui.MessageBox(platform::kNoWindow, "surprise", "c", {}), sim::ScriptError);

  const platform::BoxStyle yesNoWarning{platform::Buttons::YesNo, platform::Icon::Warning};
  machine.GetUser().WillAnswer({"text", "caption", yesNoWarning}, BoxResult::Yes);
  EXPECT_THROW(ui.MessageBox(platform::kNoWindow, "text", "caption", {platform::Buttons::YesNo}),
               sim::ScriptError);

  machine.GetUser().WillAnswer({"text", "caption", yesNoWarning}, BoxResult::Yes);
  EXPECT_THROW(ui.MessageBox(platform::kNoWindow, "text", "Caption", yesNoWarning),
               sim::ScriptError);
}

}  // namespace

namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using platform::kHkeyUsers;

constexpr char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

TEST(SimMachineTest, FreshMachineLooksLikeAFreshWindowsToAnInstaller) {
  sim::Machine machine;
  sim::FileSystem& files = machine.Files();
  sim::Registry& registry = machine.Registry();

  EXPECT_TRUE(files.Exists("C:\\WINDOWS"));
  EXPECT_TRUE(files.Exists("C:\\Program Files"));
  EXPECT_EQ(registry.GetString(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                               "ProgramFilesDir"),
            "C:\\Program Files");

  // Every shell folder the registry names lies on the disk, the user's under their profile.
  for (const char* name : {"Programs", "Startup", "Desktop", "Start Menu"}) {
    const std::optional<std::string> folder =
        registry.GetString(kHkeyCurrentUser, kShellFolders, name);
    ASSERT_TRUE(folder) << name;
    EXPECT_EQ(folder->rfind("C:\\Users\\User\\", 0), 0u) << *folder;
    EXPECT_TRUE(files.Exists(*folder)) << *folder;
  }
  for (const char* name : {"Common Programs", "Common Startup", "Common Desktop"}) {
    const std::optional<std::string> folder =
        registry.GetString(kHkeyLocalMachine, kShellFolders, name);
    ASSERT_TRUE(folder) << name;
    EXPECT_TRUE(files.Exists(*folder)) << *folder;
  }
  EXPECT_EQ(registry.GetString(kHkeyCurrentUser, kShellFolders, "Startup"),
            registry.GetString(kHkeyCurrentUser, kShellFolders, "Programs").value() + "\\Startup");
  EXPECT_EQ(registry.GetString(kHkeyLocalMachine, kShellFolders, "Common Desktop"),
            "C:\\Users\\Public\\Desktop");

  sim::System& system = machine.System();
  EXPECT_EQ(system.GetWindowsDirectory(), "C:\\WINDOWS");
  EXPECT_TRUE(system.HasIsWow64Process());
  EXPECT_FALSE(system.IsWow64Process());
  EXPECT_EQ(system.CodePage(), 1252u);
}

TEST(SimMachineTest, EachAddedUserGetsShellFoldersOfTheirOwn) {
  sim::Machine machine;
  const std::string second = "S-1-5-21-1000-1000-1000-1002";
  const std::string third = "S-1-5-21-1000-1000-1000-1003";
  machine.Registry().AddUser(second);
  machine.Registry().AddUser(third);

  const auto programs = [&](const std::string& sid) {
    return machine.Registry().GetString(kHkeyUsers, sid + "\\" + kShellFolders, "Programs");
  };
  EXPECT_EQ(programs(machine.Registry().CurrentUserSid()),
            "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs");
  EXPECT_EQ(programs(second),
            "C:\\Users\\User2\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs");
  EXPECT_EQ(programs(third),
            "C:\\Users\\User3\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs");
  EXPECT_TRUE(machine.Files().Exists(*programs(third) + "\\Startup"));
  EXPECT_TRUE(machine.Files().Exists("C:\\Users\\User2\\Desktop"));
}

TEST(SimMachineTest, EveryProcessSeesTheSameMachine) {
  sim::Machine machine;
  platform::Platform& first = machine.Processes().Start({"C:\\A\\one.exe", {}, {}}).GetPlatform();
  platform::Platform& second = machine.Processes().Start({"C:\\B\\two.exe", {}, {}}).GetPlatform();

  ASSERT_TRUE(first.files.AppendText("C:\\shared.txt", "from one\n"));
  EXPECT_EQ(second.files.GetFileAttributes("C:\\SHARED.TXT"), platform::kAttributeArchive);
  EXPECT_EQ(machine.Files().ReadFile("C:\\shared.txt"), "from one\r\n");

  platform::RegistryKey key = 0;
  ASSERT_EQ(first.registry.CreateKey(kHkeyCurrentUser, "Software\\Shared", key),
            platform::kErrorSuccess);
  EXPECT_TRUE(machine.Registry().KeyExists(kHkeyCurrentUser, "Software\\Shared"));
  // Handles belong to the machine here, which Windows would not allow across processes; the
  // program never passes one on.
  EXPECT_EQ(second.registry.CloseKey(key), platform::kErrorSuccess);

  machine.Files().WriteFile("C:\\B\\two.exe", "MZ");
  machine.Files().SetFileVersion("C:\\B\\two.exe", platform::FixedFileVersion{1, 2});
  EXPECT_EQ(first.versions.GetFixedFileVersion("C:\\B\\two.exe"),
            (platform::FixedFileVersion{1, 2}));

  machine.System().SetWindowsDirectory("D:\\WINNT");
  EXPECT_EQ(second.system.GetWindowsDirectory(), "D:\\WINNT");
}

TEST(SimMachineTest, FaultsCountEveryChangeOfEveryKindAndHitTheChosenOne) {
  // Each row changes the machine once by a different door; the fault hits the second row.
  const std::vector<std::function<bool(platform::Platform&)>> changes = {
      [](platform::Platform& p) { return p.files.CreateDirectory("C:\\Data"); },
      [](platform::Platform& p) { return p.files.CopyFile("C:\\a.txt", "C:\\b.txt", false); },
      [](platform::Platform& p) {
        platform::RegistryKey key = 0;
        return p.registry.CreateKey(platform::kHkeyCurrentUser, "Software\\X", key) == 0;
      },
      [](platform::Platform& p) { return p.files.DeleteFile("C:\\a.txt"); },
  };
  for (std::size_t hit = 0; hit < changes.size(); ++hit) {
    SCOPED_TRACE("fault at change " + std::to_string(hit + 1));
    sim::Machine machine;
    machine.Files().WriteFile("C:\\a.txt", "a");
    machine.Faults().Set(sim::Fault{sim::Fault::Kind::Fail, static_cast<unsigned>(hit + 1),
                                    platform::kErrorDiskFull});
    machine.Processes().Start({"C:\\setup.exe", {}, {}}).Run([&](platform::Platform& platform) {
      for (std::size_t i = 0; i < changes.size(); ++i) {
        EXPECT_EQ(changes[i](platform), i != hit) << "change " << i + 1;
        if (i == hit && i != 2) {
          EXPECT_EQ(platform.process.LastError(), platform::kErrorDiskFull);
        }
      }
      return 0;
    });
    EXPECT_EQ(machine.Faults().Calls(), changes.size());
  }
}

TEST(SimMachineTest, FaultsThatNameACallCountOnlyItsCallsAndLeaveTheChangesCountAlone) {
  struct Case {
    const char* name;
    sim::Fault fault;
    std::vector<bool> made;  // whether each CreateMutexA of the run below made its mutex
    bool firstFolder;        // whether the first change, a CreateDirectoryA, went through
  };
  const std::vector<Case> cases = {
      {"the second creation", {.at = 2, .call = "CreateMutexA"}, {true, false, true}, true},
      {"each creation from the second",
       {.at = 2, .call = "CreateMutexA", .lasting = true},
       {true, false, false},
       true},
      {"the first of one name", {.call = "CreateMutexA", .object = "A"}, {false, true, true}, true},
      {"each of one name",
       {.call = "CreateMutexA", .object = "A", .lasting = true},
       {false, true, false},
       true},
      {"each call on one object", {.object = "A", .lasting = true}, {false, true, false}, true},
      {"another call", {.call = "CreateFileMappingA", .lasting = true}, {true, true, true}, true},
      {"the first change", {.error = platform::kErrorDiskFull}, {true, true, true}, false},
  };
  const char* const names[] = {"A", "B", "A"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Machine machine;
    machine.Faults().Set(c.fault);
    std::vector<bool> made;
    bool firstFolder = false;
    machine.Processes().Start({"C:\\setup.exe", {}, {}}).Run([&](platform::Platform& platform) {
      for (std::size_t i = 0; i < 3; ++i) {
        const bool folder = platform.files.CreateDirectory("C:\\D" + std::to_string(i));
        firstFolder = firstFolder || (i == 0 && folder);
        made.push_back(platform.session.CreateMutex(names[i]) != platform::kNoHandle);
      }
      return 0;
    });
    EXPECT_EQ(made, c.made);
    EXPECT_EQ(firstFolder, c.firstFolder);
    EXPECT_EQ(machine.Faults().Calls(), 3u);
  }
}

TEST(SimMachineTest, PowerLossStopsEveryRunningProgramAndKeepsWhatWasWritten) {
  sim::Machine machine;
  machine.Faults().Set(sim::Fault{sim::Fault::Kind::PowerLoss, 2, 0});
  bool reached = false;
  sim::Process& process = machine.Processes().Start({"C:\\setup.exe", {}, {}});
  EXPECT_THROW(process.Run([&](platform::Platform& platform) {
    platform.files.CreateDirectory("C:\\First");
    platform.files.CreateDirectory("C:\\Second");
    reached = true;
    return 0;
  }),
               sim::PowerLoss);
  EXPECT_FALSE(reached);
  EXPECT_TRUE(process.Ended());
  EXPECT_TRUE(machine.Files().Exists("C:\\First"));
  EXPECT_FALSE(machine.Files().Exists("C:\\Second"));
}

TEST(SimSystemTest, WidthAndTheSixtyFourBitQuery) {
  sim::System system;
  system.SetWindows64Bit(true);
  EXPECT_TRUE(system.HasIsWow64Process());
  EXPECT_TRUE(system.IsWow64Process());

  // A program that asks without looking the call up first would crash on such a Windows.
  system.SetWindows64Bit(false);
  system.SetIsWow64ProcessAvailable(false);
  EXPECT_FALSE(system.HasIsWow64Process());
  EXPECT_THROW(system.IsWow64Process(), sim::ScriptError);
}

TEST(SimSystemTest, LeadBytesOfTheCodePages) {
  sim::System system;
  for (unsigned byte = 0; byte < 256; ++byte) {
    EXPECT_FALSE(system.IsDBCSLeadByte(static_cast<unsigned char>(byte))) << byte;
  }

  system.SetCodePage(932);
  std::string leads;
  for (unsigned byte : {0x40u, 0x5Cu, 0x80u, 0x81u, 0x9Fu, 0xA0u, 0xDFu, 0xE0u, 0xFCu, 0xFDu}) {
    leads += system.IsDBCSLeadByte(static_cast<unsigned char>(byte)) ? '1' : '0';
  }
  EXPECT_EQ(leads, "0001100110");

  system.SetCodePage(936);
  EXPECT_TRUE(system.IsDBCSLeadByte(0xFE));
  EXPECT_FALSE(system.IsDBCSLeadByte(0xFF));
  EXPECT_FALSE(system.IsDBCSLeadByte(0x80));

  EXPECT_THROW(system.SetCodePage(65001), sim::ScriptError);
  EXPECT_EQ(system.CodePage(), 936u);
}

}  // namespace
