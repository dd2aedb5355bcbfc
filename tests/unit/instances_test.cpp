// The shared instance list and the closing of running instances, with several simulated
// processes: product programs launched beside the setup, each holding the list through the
// program's own code.
#include <gtest/gtest.h>

#include <memory>

#include "app/command_line.h"
#include "engine/busy_mark.h"
#include "instances/close_instances.h"
#include "program_runner.h"
#include "test_app.h"

namespace {

using platform::BoxResult;
using platform::kMessageClose;
using platform::WindowHandle;

constexpr char kProduct[] = "C:\\Program Files\\Pictavo 6\\Pictv6.exe";
constexpr char kSetup[] = "D:\\Dist\\setup.exe";
constexpr char kUninstaller[] = "C:\\Program Files\\Pictavo 6\\PictvUnInst.exe";
constexpr char kRegion[] = "COXInstanceManager_FileMap_Corvantis.Pictavo-DX.v4";
constexpr char kListLock[] = "COXInstanceManager_InstanceList_Mutex_Corvantis.Pictavo-DX.v4";
constexpr char kAdditionalLock[] = "COXInstanceManager_Additional_Mutex_Corvantis.Pictavo-DX.v4";

const std::string kOneOpen =
    "1 instance of Pictavo is currently opened. If you click \"Yes\" button, SETUP will try to "
    "close it without saving any editing work you may have done. \n\nContinue installation?";
const std::string kThreeOpen =
    "3 instances of Pictavo are currently opened. ff you click \"Yes\" button, SETUP will try to "
    "close them without saving any editing work you may have done. \n\nContinue installation?";
const sim::ExpectedBox kAborted{
    "Setup of Pictavo aborted. Please close other instances of Pictavo manually, saving any "
    "editing work you have done in them, then restart this setup program.",
    "Pictavo Setup",
    {platform::Buttons::Ok, platform::Icon::Information}};

sim::ExpectedBox Question(const std::string& text) {
  return {text, "Pictavo Setup", {platform::Buttons::YesNo, platform::Icon::Warning}};
}

std::uint32_t Word(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return instance_list::ReadWord(bytes.data(), static_cast<std::uint32_t>(offset));
}

class InstancesTest : public ::testing::Test {
 protected:
  // A program of the product, running: it joins the list, then shows its main window, which
  // closes on the close request when `closes` (the process then ends normally and leaves the
  // list).
  struct Program {
    sim::Process* process = nullptr;
    std::unique_ptr<COXInstanceManager> instances;
    WindowHandle window = platform::kNoWindow;
    unsigned Id() const { return process->Id(); }
  };

  Program& Launch(const std::string& title = "Pictavo 6", bool closes = true,
                  std::optional<unsigned> id = std::nullopt) {
    auto program = std::make_unique<Program>();
    Program& p = *program;
    programs_.push_back(std::move(program));
    sim::ProcessSpec spec{kProduct, {}, {}};
    spec.id = id;
    p.process = &machine_.Processes().Start(spec);
    p.process->Launch([&](platform::Platform& platform) {
      p.instances = std::make_unique<COXInstanceManager>(platform);
      if (!title.empty()) {
        p.window = p.process->CreateWindow(title);
      }
    });
    if (closes && p.window != platform::kNoWindow) {
      machine_.Session().SetMessageHandler(p.window, [&p](const sim::PostedMessage& message) {
        if (message.message == kMessageClose) {
          p.process->DestroyWindow(p.window);
          p.instances.reset();
          p.process->End(0);
        }
      });
    }
    return p;
  }

  // The list as the region holds it: count, then the valid entries.
  std::vector<std::uint32_t> Listed() const {
    const std::vector<std::uint8_t> bytes = machine_.Session().SharedMemory(kRegion).value();
    std::vector<std::uint32_t> ids;
    for (std::uint32_t i = 0; i < Word(bytes, 4); ++i) {
      ids.push_back(Word(bytes, 8 + 4 * i));
    }
    return ids;
  }

  std::vector<sim::PostedMessage> PostsOf(unsigned message) const {
    std::vector<sim::PostedMessage> found;
    for (const sim::PostedMessage& posted : machine_.Session().PostedMessages()) {
      if (posted.message == message) {
        found.push_back(posted);
      }
    }
    return found;
  }

  // The closing step in a setup process started with `arguments`, asking as its command line
  // says.
  CloseResult Close(bool installMode, std::vector<std::string> arguments = {}) {
    CloseResult result = CloseResult::End;
    setup_ = &machine_.Processes().Start({kSetup, arguments, {}});
    arguments.insert(arguments.begin(), kSetup);
    const CommandLine line = ReadCommandLine(arguments, installMode ? kSetup : kUninstaller);
    setup_->Run([&](platform::Platform& platform) {
      COXInstanceManager instances(platform);
      TestApp app(platform);
      result = CloseRunningInstances(app, instances, line.AsksBeforeClosing());
      return 0;
    });
    return result;
  }

  sim::Machine machine_;
  std::vector<std::unique_ptr<Program>> programs_;
  sim::Process* setup_ = nullptr;
};

TEST_F(InstancesTest, FirstProgramMakesResetsAndJoinsTheListWithItsRoundedSizes) {
  machine_.Session().SetAllocationGranularity(4096);
  const Program& first = Launch();
  const std::vector<std::uint8_t> bytes = machine_.Session().SharedMemory(kRegion).value();
  EXPECT_EQ(bytes.size(), 8192u);  // 4008 and 1024 bytes, each rounded to the granularity
  EXPECT_EQ(Word(bytes, 0), 1u);
  EXPECT_EQ(Listed(), std::vector<std::uint32_t>{first.Id()});
  EXPECT_TRUE(machine_.Session().PostedMessages().empty());
  EXPECT_EQ(first.instances->CountInstances(), 1);
  EXPECT_EQ(machine_.Session().MappedViews(*first.process), 0u)
      << "no view kept between operations";
  EXPECT_EQ(machine_.Session().MutexOwner(kListLock), 0u);
}

TEST_F(InstancesTest, TheLockIsHeldFromTheRegionsCreationToItsReset) {
  unsigned creator = 0;
  unsigned lockOwner = 0;
  machine_.Session().OnSharedMemoryCreated([&](const std::string& name, unsigned process) {
    if (name == kRegion) {
      creator = process;
      lockOwner = machine_.Session().MutexOwner(kListLock);
    }
  });
  const Program& first = Launch();
  EXPECT_EQ(creator, first.Id());
  EXPECT_EQ(lockOwner, first.Id()) << "a program opening the region now would wait";
}

TEST_F(InstancesTest, JoiningAndLeavingTellTheOthersAndKeepTheOrder) {
  Program& a = Launch();
  Program& b = Launch();
  Program& c = Launch();
  EXPECT_EQ(Listed(), (std::vector<std::uint32_t>{a.Id(), b.Id(), c.Id()}));
  // c was told by nobody; a of b's and c's arrival, b of c's.
  const std::vector<sim::PostedMessage> added = PostsOf(kInstanceAddedMessage);
  ASSERT_EQ(added.size(), 3u);
  EXPECT_EQ(added[0].window, a.window);
  EXPECT_EQ(added[0].lParam, b.Id());
  EXPECT_EQ(added[1].window, a.window);
  EXPECT_EQ(added[2].window, b.window);
  EXPECT_EQ(added[2].lParam, c.Id());
  EXPECT_EQ(added[2].wParam, 0u);

  a.process->DestroyWindow(a.window);
  a.instances.reset();
  EXPECT_EQ(Listed(), (std::vector<std::uint32_t>{b.Id(), c.Id()}));
  const std::vector<std::uint8_t> bytes = machine_.Session().SharedMemory(kRegion).value();
  for (std::size_t i = 2; i < 1000; ++i) {
    ASSERT_EQ(Word(bytes, 8 + 4 * i), 0u) << i;
  }
  const std::vector<sim::PostedMessage> removed = PostsOf(kInstanceRemovedMessage);
  ASSERT_EQ(removed.size(), 2u);
  EXPECT_EQ(removed[0].window, b.window);
  EXPECT_EQ(removed[1].window, c.window);
  EXPECT_EQ(removed[1].lParam, a.Id());

  EXPECT_FALSE(b.instances->UnregisterProcess(4242)) << "not listed: nothing changes";
  EXPECT_EQ(PostsOf(kInstanceRemovedMessage).size(), 2u);
}

TEST_F(InstancesTest, AFullListTakesNoOneMoreAndTellsNobody) {
  Program& a = Launch();
  for (int i = 1; i < 1000; ++i) {
    ASSERT_TRUE(a.instances->RegisterProcess(a.Id())) << "duplicates are appended too";
  }
  const std::size_t posted = machine_.Session().PostedMessages().size();
  EXPECT_FALSE(a.instances->RegisterProcess(7));
  EXPECT_EQ(machine_.Session().PostedMessages().size(), posted);
  EXPECT_EQ(a.instances->CountInstances(), 1000);
  std::vector<std::uint32_t> ids;
  ASSERT_TRUE(a.instances->ListInstances(ids));
  EXPECT_EQ(ids, std::vector<std::uint32_t>(1000, a.Id()));
}

TEST_F(InstancesTest, MainWindowIsTheFirstUnownedNonToolWindowTitledPictavo) {
  Program& a = Launch("");
  sim::Process& process = *a.process;
  const WindowHandle owner = process.CreateWindow("Owner");
  struct Case {
    const char* title;
    WindowHandle owner;
    std::uint32_t exStyle;
    bool main;
  };
  const Case cases[] = {
      {"pictavo 6", platform::kNoWindow, 0, false},
      {" Pictavo 6", platform::kNoWindow, 0, false},
      {"Pictavo 6", owner, 0, false},
      {"Pictavo 6", platform::kNoWindow, platform::kExStyleToolWindow, false},
      {"Pictavo Setup", platform::kNoWindow, 0, true},
      {"Pictavo", platform::kNoWindow, 0, true},
  };
  for (const Case& c : cases) {
    const WindowHandle window = process.CreateWindow(c.title, c.owner, c.exStyle);
    EXPECT_EQ(a.instances->FindMainWindow(a.Id()), c.main ? window : platform::kNoWindow)
        << c.title;
    process.DestroyWindow(window);
  }
  // Another program's window is never this one's, and the topmost of two qualifying wins.
  const Program& b = Launch();
  EXPECT_EQ(a.instances->FindMainWindow(a.Id()), platform::kNoWindow);
  process.CreateWindow("Pictavo one");
  const WindowHandle top = process.CreateWindow("Pictavo two");
  EXPECT_EQ(a.instances->FindMainWindow(a.Id()), top);
  EXPECT_EQ(a.instances->FindMainWindow(b.Id()), b.window);
}

TEST_F(InstancesTest, SetupJoinsAtStartLeavesAtItsEndAndEndsWithoutItsLocks) {
  const Program& product = Launch();
  machine_.GetUser().WillAnswer(Question(kOneOpen), BoxResult::No);
  machine_.GetUser().WillAnswer(kAborted, BoxResult::Ok);
  EXPECT_EQ(RunProgram(machine_, kSetup, {"-s"}).exitCode, 1602u);  // refused by the user
  const unsigned setup = machine_.Processes().All().back()->Id();
  for (unsigned message : {kInstanceAddedMessage, kInstanceRemovedMessage}) {
    const std::vector<sim::PostedMessage> posted = PostsOf(message);
    ASSERT_EQ(posted.size(), 1u) << message;
    EXPECT_EQ(posted[0].window, product.window);
    EXPECT_EQ(posted[0].lParam, setup);
  }
  EXPECT_EQ(Listed(), std::vector<std::uint32_t>{product.Id()});
  EXPECT_FALSE(product.process->Ended());

  for (const char* lock : {kListLock, kAdditionalLock}) {
    SCOPED_TRACE(lock);
    machine_.Faults().Set(sim::Fault{.call = "CreateMutexA", .object = lock, .lasting = true});
    const std::vector<std::string> before = machine_.Snapshot();
    EXPECT_EQ(RunProgram(machine_, kSetup, {"-s"}).exitCode, 1u);
    EXPECT_EQ(machine_.Snapshot(), before);
    EXPECT_EQ(Listed(), std::vector<std::uint32_t>{product.Id()});
    machine_.Faults().Set(std::nullopt);
  }
  EXPECT_EQ(machine_.GetUser().Boxes().size(), 2u);
}

struct CloseCase {
  const char* name;
  int products;
  bool installMode;
  std::vector<std::string> arguments;
  std::optional<std::string> question;
  BoxResult answer;
  CloseResult result;
};

TEST_F(InstancesTest, ClosingAsksInInstallModeUnlessSilencedAndClosesTheConfirmedOthers) {
  const std::vector<CloseCase> cases = {
      {"nothing else runs", 0, true, {}, std::nullopt, BoxResult::Yes, CloseResult::Continue},
      {"one, Yes", 1, true, {}, kOneOpen, BoxResult::Yes, CloseResult::Continue},
      {"three, No", 3, true, {}, kThreeOpen, BoxResult::No, CloseResult::End},
      {"-s first is still asked", 1, true, {"-s"}, kOneOpen, BoxResult::Yes, CloseResult::Continue},
      {"-install /S",
       3,
       true,
       {"-install", "/S"},
       std::nullopt,
       BoxResult::Yes,
       CloseResult::Continue},
      {"uninstall mode", 3, false, {}, std::nullopt, BoxResult::Yes, CloseResult::Continue},
  };
  for (const CloseCase& c : cases) {
    SCOPED_TRACE(c.name);
    programs_.clear();  // the last holders have ended: the list is made anew
    for (int i = 0; i < c.products; ++i) {
      Launch();
    }
    const std::size_t boxes = machine_.GetUser().Boxes().size();
    if (c.question) {
      machine_.GetUser().WillAnswer(Question(*c.question), c.answer);
      if (c.answer != BoxResult::Yes) {
        machine_.GetUser().WillAnswer(kAborted, BoxResult::Ok);
      }
    }
    EXPECT_EQ(Close(c.installMode, c.arguments), c.result);
    EXPECT_FALSE(machine_.GetUser().HasUnusedAnswers());
    for (std::size_t i = boxes; i < machine_.GetUser().Boxes().size(); ++i) {
      EXPECT_EQ(machine_.GetUser().Boxes()[i].owner, platform::kNoWindow);
    }
    const bool closed = c.result == CloseResult::Continue;
    for (const auto& program : programs_) {
      EXPECT_EQ(program->process->Ended(), closed);
    }
    for (const auto& program : programs_) {
      program->instances.reset();
      if (!program->process->Ended()) {
        program->process->End(0);
      }
    }
  }
}

TEST_F(InstancesTest, EachConfirmedOtherGetsTheRequestThePauseAndTheEndButNoUnrelatedProcess) {
  Program& reacts = Launch();
  Program& ignores = Launch("Pictavo 6", false);
  Program& secondSetup = Launch("Pictavo Setup", false);
  // A product that crashed: its entry stays, and its id now belongs to an unrelated program.
  Program& crashed = Launch("Pictavo 6", false);
  const unsigned staleId = crashed.Id();
  crashed.process->End(3);  // without leaving the list
  sim::Process& unrelated =
      machine_.Processes().Start({"C:\\Windows\\notepad.exe", {}, {}, {}, {}, staleId});
  unrelated.Launch([&](platform::Platform&) { unrelated.CreateWindow("Untitled - Notepad"); });
  // A listed program without a main window cannot be confirmed either.
  Program& windowless = Launch("");

  machine_.GetUser().WillAnswer(
      Question("3 instances of Pictavo are currently opened. ff you click "
               "\"Yes\" button, SETUP will try to close them without saving "
               "any editing work you may have done. \n\nContinue installation?"),
      BoxResult::Yes);
  EXPECT_EQ(Close(true), CloseResult::Continue);

  const std::vector<sim::PostedMessage> requests = PostsOf(kMessageClose);
  ASSERT_EQ(requests.size(), 3u);
  for (const sim::PostedMessage& request : requests) {
    EXPECT_EQ(request.wParam, kSetupCloseCode);
    EXPECT_EQ(request.lParam, 0);
    EXPECT_EQ(request.fromProcess, setup_->Id());
  }
  EXPECT_EQ(requests[0].toProcess, reacts.Id());
  EXPECT_EQ(requests[1].toProcess, ignores.Id());
  EXPECT_EQ(requests[2].toProcess, secondSetup.Id());
  // The pause after each request waits for the program's end: the one that closed itself needs
  // nothing more; the others are ended with code 0 and waited for.
  EXPECT_EQ(setup_->SleptMilliseconds(), 0u);
  const std::vector<sim::Termination> ended = machine_.Processes().Terminations();
  ASSERT_EQ(ended.size(), 2u);
  EXPECT_EQ(ended[0], (sim::Termination{setup_->Id(), ignores.Id(), 0}));
  EXPECT_EQ(ended[1], (sim::Termination{setup_->Id(), secondSetup.Id(), 0}));
  const unsigned setup = setup_->Id();
  EXPECT_EQ(machine_.Processes().Waits(),
            (std::vector<sim::ProcessWait>{{setup, reacts.Id(), 10, true},
                                           {setup, ignores.Id(), 10, false},
                                           {setup, ignores.Id(), 5000, true},
                                           {setup, secondSetup.Id(), 10, false},
                                           {setup, secondSetup.Id(), 5000, true}}));
  EXPECT_TRUE(reacts.process->Ended() && ignores.process->Ended() && secondSetup.process->Ended());
  EXPECT_FALSE(unrelated.Ended());
  EXPECT_FALSE(windowless.process->Ended());
}

TEST_F(InstancesTest, AProgramThatTakesTheIdOfAProductThatClosedItselfIsNeverEnded) {
  Program& product = Launch("Pictavo 6", false);
  const unsigned id = product.Id();
  sim::Process* newcomer = nullptr;
  machine_.Session().SetMessageHandler(product.window, [&](const sim::PostedMessage& message) {
    if (message.message != kMessageClose) {
      return;
    }
    product.process->DestroyWindow(product.window);
    product.instances.reset();
    product.process->End(0);
    // Windows gives a free id to the next program that starts: free unless a handle holds the
    // ended process.
    try {
      newcomer = &machine_.Processes().Start({"C:\\Windows\\notepad.exe", {}, {}, {}, {}, id});
      newcomer->Launch([](platform::Platform&) {});
    } catch (const sim::ScriptError&) {
      newcomer = nullptr;
    }
  });
  EXPECT_EQ(Close(true, {"-install", "-s"}), CloseResult::Continue);
  EXPECT_EQ(newcomer, nullptr) << "the setup's handle keeps the id";
  EXPECT_TRUE(machine_.Processes().Terminations().empty());
}

TEST_F(InstancesTest, AProductThatResetTheListJustAfterTheSetupJoinedIsStillClosed) {
  Program& product = Launch();
  setup_ = &machine_.Processes().Start({kSetup, {"-install", "-s"}, {}});
  const CommandLine line = ReadCommandLine({kSetup, "-install", "-s"}, kSetup);
  CloseResult result = CloseResult::End;
  setup_->Run([&](platform::Platform& platform) {
    COXInstanceManager instances(platform);
    // The product made the region an instant before this process joined, and reset it after.
    instances.UnregisterProcess(platform.session.CurrentProcessId());
    TestApp app(platform);
    result = CloseRunningInstances(app, instances, line.AsksBeforeClosing());
    return 0;
  });
  EXPECT_EQ(result, CloseResult::Continue);
  EXPECT_TRUE(product.process->Ended());
}

TEST_F(InstancesTest, ASetupThatIsInstallingIsNeverClosedByASecondOne) {
  // The first setup's wizard, and its installation running meanwhile.
  Program& first = Launch("Pictavo Setup", false);
  auto installing = std::make_unique<BusySetup>(first.process->GetPlatform().session);
  const sim::ExpectedBox busy{
      "Another Pictavo setup is installing or removing Pictavo 6 right now. Please wait until it "
      "has finished, then start this setup again.",
      "Pictavo Setup",
      {platform::Buttons::Ok, platform::Icon::Information}};
  machine_.GetUser().WillAnswer(busy, BoxResult::Ok);
  EXPECT_EQ(RunProgram(machine_, kSetup).exitCode, 1618u);
  // Silent, it asks nobody: its code and its log tell.
  machine_.Files().CreateFolders("C:\\Logs");
  EXPECT_EQ(RunProgram(machine_, kSetup, {"-install", "-s", "-log", "C:\\Logs\\s.log"}).exitCode,
            1618u);
  const std::string log = machine_.Files().ReadFile("C:\\Logs\\s.log").value_or("");
  EXPECT_NE(log.find("Outcome: another setup is running, exit code 1618"), std::string::npos)
      << log;
  EXPECT_TRUE(PostsOf(kMessageClose).empty());
  EXPECT_FALSE(first.process->Ended());

  // Once it has finished, its idle wizard may be closed as before.
  installing.reset();
  EXPECT_EQ(Close(true, {"-install", "-s"}), CloseResult::Continue);
  EXPECT_TRUE(first.process->Ended());
}

TEST_F(InstancesTest, OnlyCrashedEntriesLeftMeansNothingIsAsked) {
  Program& crashed = Launch();
  Launch("");  // keeps the list alive, and has no main window to be confirmed by
  crashed.process->End(3);
  EXPECT_EQ(Close(true), CloseResult::Continue);  // the script holds no answer: nothing asked
  EXPECT_TRUE(machine_.Processes().Terminations().empty());
  EXPECT_EQ(Listed().front(), crashed.Id()) << "the entry stays for the product's programs";
}

TEST(InstanceListLayoutTest, WordsAreLittleEndianAndLengthsRoundUp) {
  std::uint8_t bytes[8] = {};
  instance_list::WriteWord(bytes, 4, 0x12345678);
  EXPECT_EQ(bytes[4], 0x78);
  EXPECT_EQ(bytes[7], 0x12);
  EXPECT_EQ(instance_list::ReadWord(bytes, 4), 0x12345678u);
  EXPECT_EQ(instance_list::RoundUp(4008, 65536), 65536u);
  EXPECT_EQ(instance_list::RoundUp(65536, 65536), 65536u);
  EXPECT_EQ(instance_list::RoundUp(1024, 4096), 4096u);
  EXPECT_EQ(instance_list::RoundUp(8193, 4096), 12288u);
}

}  // namespace
