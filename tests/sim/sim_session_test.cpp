// The simulated session as the instance list and the closing of running instances see it:
// named objects shared between processes, what goes when a process ends, the top-level
// windows, posted messages and the other processes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/sim/machine.h"

namespace {

using platform::KernelHandle;
using platform::kNoHandle;
using platform::kNoWindow;
using platform::kProcessTerminate;
using platform::kSynchronize;
using platform::Platform;
using platform::WindowHandle;

constexpr char kSetup[] = "C:\\Temp\\setup.exe";
constexpr char kProduct[] = "C:\\Program Files\\Pictavo 6\\Pictv6.exe";
constexpr char kMutex[] = "Pictavo Instances Mutex";
constexpr char kRegion[] = "Pictavo Instances";

class SimSessionTest : public ::testing::Test {
 protected:
  sim::Process& Launch(
      const std::function<void(Platform&)>& startUp = [](Platform&) {},
      std::optional<unsigned> id = std::nullopt) {
    sim::Process& process = machine_.Processes().Start({kProduct, {}, {}, {}, {}, id});
    process.Launch(startUp);
    return process;
  }
  sim::Machine machine_;
};

TEST_F(SimSessionTest, MutexIsSharedByNameOwnedByOneProcessAndCountsRecursion) {
  sim::Process& product = Launch();
  platform::Session& other = product.GetPlatform().session;
  const KernelHandle theirs = other.CreateMutex(kMutex);
  ASSERT_NE(theirs, kNoHandle);
  machine_.Processes().Start({kSetup, {}, {}}).Run([&](Platform& platform) {
    platform::Session& session = platform.session;
    const KernelHandle mine = session.CreateMutex(kMutex);
    EXPECT_NE(mine, kNoHandle);
    EXPECT_NE(session.CreateMutex("pictavo instances mutex"), kNoHandle);  // another object
    EXPECT_TRUE(session.WaitForMutex(mine));
    EXPECT_TRUE(session.WaitForMutex(mine));
    EXPECT_EQ(machine_.Session().MutexOwner(kMutex), platform.session.CurrentProcessId());
    EXPECT_EQ(machine_.Session().MutexOwner("pictavo instances mutex"), 0u);
    EXPECT_FALSE(other.ReleaseMutex(theirs));
    EXPECT_THROW(other.WaitForMutex(theirs), sim::ScriptError);  // would block for ever
    EXPECT_TRUE(session.ReleaseMutex(mine));
    EXPECT_EQ(machine_.Session().MutexOwner(kMutex),
              session.CurrentProcessId());  // once more to go
    EXPECT_TRUE(session.ReleaseMutex(mine));
    EXPECT_FALSE(session.ReleaseMutex(mine));
    EXPECT_EQ(machine_.Session().MutexOwner(kMutex), 0u);
    // A handle belongs to the process that opened it.
    EXPECT_FALSE(session.CloseHandle(theirs));
    return 0;
  });
  EXPECT_TRUE(other.WaitForMutex(theirs));
  EXPECT_EQ(machine_.Session().MutexOwner(kMutex), product.Id());
}

TEST_F(SimSessionTest, NameOfTheOtherKindFailsCreation) {
  platform::Session& session = Launch().GetPlatform().session;
  bool existed = true;
  ASSERT_NE(session.CreateSharedMemory(kRegion, 100, existed), kNoHandle);
  EXPECT_FALSE(existed);
  ASSERT_NE(session.CreateMutex(kMutex), kNoHandle);
  EXPECT_EQ(session.CreateMutex(kRegion), kNoHandle);
  EXPECT_EQ(session.CreateSharedMemory(kMutex, 100, existed), kNoHandle);
  EXPECT_FALSE(existed);
  EXPECT_EQ(session.CreateSharedMemory("no size", 0, existed), kNoHandle);
}

TEST_F(SimSessionTest, RegionIsSharedKeepsItsSizeAndGoesWithItsLastHandleOrView) {
  platform::Session& first = Launch().GetPlatform().session;
  platform::Session& second = Launch().GetPlatform().session;
  const std::uint32_t granularity = first.AllocationGranularity();
  EXPECT_EQ(granularity, 65536u);
  bool existed = true;
  const KernelHandle a = first.CreateSharedMemory(kRegion, 2 * granularity, existed);
  ASSERT_NE(a, kNoHandle);
  EXPECT_FALSE(existed);
  const KernelHandle b = second.CreateSharedMemory(kRegion, 8 * granularity, existed);
  ASSERT_NE(b, kNoHandle);
  EXPECT_TRUE(existed);
  // The existing region keeps the size it was made with: a view beyond it fails.
  EXPECT_EQ(second.MapView(b, 2 * granularity, 1), nullptr);
  std::uint8_t* view = first.MapView(a, granularity, 0);
  std::uint8_t* seen = second.MapView(b, 0, 2 * granularity);
  ASSERT_NE(view, nullptr);
  ASSERT_NE(seen, nullptr);
  EXPECT_EQ(seen[granularity], 0);
  view[0] = 0x5A;
  EXPECT_EQ(seen[granularity], 0x5A);
  EXPECT_EQ(machine_.Session().SharedMemory(kRegion)->at(granularity), 0x5A);

  // A view holds the region when every handle is closed.
  EXPECT_TRUE(first.CloseHandle(a));
  EXPECT_TRUE(second.CloseHandle(b));
  EXPECT_FALSE(second.CloseHandle(b));
  EXPECT_TRUE(first.UnmapView(view));
  ASSERT_TRUE(machine_.Session().SharedMemory(kRegion));
  EXPECT_EQ(seen[granularity], 0x5A);
  EXPECT_TRUE(second.UnmapView(seen));
  EXPECT_FALSE(second.UnmapView(seen));
  EXPECT_FALSE(machine_.Session().SharedMemory(kRegion));

  const KernelHandle again = first.CreateSharedMemory(kRegion, 16, existed);
  EXPECT_FALSE(existed);
  EXPECT_EQ(machine_.Session().SharedMemory(kRegion), std::vector<std::uint8_t>(16, 0));
  EXPECT_TRUE(first.CloseHandle(again));
}

TEST_F(SimSessionTest, ViewsAreBoundsCheckedAgainstTheGranularity) {
  machine_.Session().SetAllocationGranularity(4096);
  platform::Session& session = Launch().GetPlatform().session;
  bool existed = false;
  const KernelHandle region = session.CreateSharedMemory(kRegion, 3 * 4096, existed);
  const KernelHandle mutex = session.CreateMutex(kMutex);
  EXPECT_EQ(session.AllocationGranularity(), 4096u);
  struct Case {
    std::uint32_t offset;
    std::uint32_t length;
    bool maps;
  };
  const Case cases[] = {
      {0, 3 * 4096, true},      {4096, 2 * 4096, true},      {8192, 0, true},
      {0, 3 * 4096 + 1, false}, {4096, 2 * 4096 + 1, false}, {3 * 4096, 0, false},
      {2048, 16, false},        {0xFFFFF000, 0x2000, false}, {3 * 4096, 1, false},
  };
  for (const Case& c : cases) {
    std::uint8_t* view = session.MapView(region, c.offset, c.length);
    EXPECT_EQ(view != nullptr, c.maps) << c.offset << " + " << c.length;
    if (view) {
      EXPECT_TRUE(session.UnmapView(view));
    }
  }
  EXPECT_EQ(session.MapView(mutex, 0, 16), nullptr);
  EXPECT_EQ(session.MapView(kNoHandle, 0, 16), nullptr);
  EXPECT_FALSE(session.WaitForMutex(region));
  std::uint8_t* inside = session.MapView(region, 0, 16);
  EXPECT_FALSE(session.UnmapView(inside + 1));
  // Mapped twice, the same bytes lie at two addresses, each unmapped on its own.
  std::uint8_t* twice = session.MapView(region, 0, 16);
  ASSERT_NE(twice, nullptr);
  EXPECT_NE(twice, inside);
  twice[15] = 7;
  EXPECT_EQ(inside[15], 7);
  EXPECT_EQ(machine_.Session().MappedViews(*machine_.Processes().All().back()), 2u);
  EXPECT_TRUE(session.CloseHandle(region));
  EXPECT_TRUE(session.UnmapView(inside));
  EXPECT_FALSE(session.UnmapView(inside));
  EXPECT_EQ(machine_.Session().SharedMemory(kRegion)->at(15), 7);
  EXPECT_TRUE(session.UnmapView(twice));
  EXPECT_FALSE(machine_.Session().SharedMemory(kRegion));

  // A granularity finer than the host's pages still gives views over the right bytes.
  machine_.Session().SetAllocationGranularity(1024);
  const KernelHandle fine = session.CreateSharedMemory(kRegion, 4096, existed);
  std::uint8_t* whole = session.MapView(fine, 0, 0);
  std::uint8_t* part = session.MapView(fine, 3072, 1024);
  ASSERT_NE(whole, nullptr);
  ASSERT_NE(part, nullptr);
  part[1] = 3;
  EXPECT_EQ(whole[3073], 3);
  EXPECT_EQ(session.MapView(fine, 3072, 1025), nullptr);
}

// Every way a process ends releases what it held: its handles, views, mutexes and windows.
TEST_F(SimSessionTest, EveryKindOfEndReleasesWhatTheProcessHeld) {
  const auto take = [&](Platform& platform) {
    bool existed = false;
    const KernelHandle mutex = platform.session.CreateMutex(kMutex);
    platform.session.WaitForMutex(mutex);
    const KernelHandle region = platform.session.CreateSharedMemory(kRegion, 64, existed);
    platform.session.MapView(region, 0, 64)[0] = 1;
    platform.session.OpenProcess(platform.session.CurrentProcessId(), kSynchronize);
  };
  struct Case {
    const char* name;
    std::function<void(sim::Machine&)> run;
    unsigned exitCode;
  };
  const Case cases[] = {
      {"returns from Run",
       [&](sim::Machine& machine) {
         machine.Processes().Start({kSetup, {}, {}}).Run([&](Platform& p) {
           take(p);
           machine.Processes().All().back()->CreateWindow("Pictavo Setup");
           return 4;
         });
       },
       4},
      {"ExitProcess in Run",
       [&](sim::Machine& machine) {
         machine.Processes().Start({kSetup, {}, {}}).Run([&](Platform& p) -> int {
           take(p);
           machine.Processes().All().back()->CreateWindow("Pictavo Setup");
           p.process.ExitProcess(5);
         });
       },
       5},
      {"ExitProcess in its start-up",
       [&](sim::Machine& machine) {
         machine.Processes().Start({kProduct, {}, {}}).Launch([&](Platform& p) {
           take(p);
           machine.Processes().All().back()->CreateWindow("Pictavo 6");
           p.process.ExitProcess(6);
         });
       },
       6},
      {"End by the test",
       [&](sim::Machine& machine) {
         sim::Process& product = machine.Processes().Start({kProduct, {}, {}});
         product.Launch(take);
         product.CreateWindow("Pictavo 6");
         product.End(7);
       },
       7},
      {"TerminateProcess by another",
       [&](sim::Machine& machine) {
         sim::Process& product = machine.Processes().Start({kProduct, {}, {}});
         product.Launch(take);
         product.CreateWindow("Pictavo 6");
         machine.Processes().Start({kSetup, {}, {}}).Launch([&](Platform& p) {
           const KernelHandle handle = p.session.OpenProcess(product.Id(), kProcessTerminate);
           EXPECT_TRUE(p.session.TerminateProcess(handle, 8));
           EXPECT_FALSE(p.session.TerminateProcess(handle, 9));  // ended already
           EXPECT_TRUE(p.session.CloseHandle(handle));
         });
       },
       8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Machine machine;
    c.run(machine);
    const sim::Process& ended = *machine.Processes().All().front();
    EXPECT_TRUE(ended.Ended());
    EXPECT_FALSE(ended.Running());
    EXPECT_EQ(ended.ExitCode(), c.exitCode);
    EXPECT_EQ(machine.Session().OpenHandles(ended), 0u);
    EXPECT_EQ(machine.Session().MappedViews(ended), 0u);
    EXPECT_EQ(machine.Session().MutexOwner(kMutex), 0u);
    EXPECT_FALSE(machine.Session().SharedMemory(kRegion));
    EXPECT_TRUE(machine.Processes()
                    .Start({kSetup, {}, {}})
                    .GetPlatform()
                    .session.TopLevelWindows()
                    .empty());
  }
}

TEST_F(SimSessionTest, AbandonedMutexGoesToTheNextWaiterAndRegionLivesOnWithOtherHandles) {
  sim::Process& product = Launch([](Platform& p) {
    bool existed = false;
    p.session.WaitForMutex(p.session.CreateMutex(kMutex));
    p.session.MapView(p.session.CreateSharedMemory(kRegion, 64, existed), 0, 0)[3] = 9;
  });
  platform::Session& setup = Launch().GetPlatform().session;
  const KernelHandle mutex = setup.CreateMutex(kMutex);
  bool existed = false;
  const KernelHandle region = setup.CreateSharedMemory(kRegion, 64, existed);
  EXPECT_TRUE(existed);
  EXPECT_EQ(machine_.Session().MutexOwner(kMutex), product.Id());
  product.End(0);
  EXPECT_EQ(machine_.Session().MutexOwner(kMutex), 0u);
  EXPECT_TRUE(setup.WaitForMutex(mutex));
  std::uint8_t* view = setup.MapView(region, 0, 64);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view[3], 9);  // what the ended process wrote stays while another holds the region
}

TEST_F(SimSessionTest, CallsOfAnEndedProcessAreInert) {
  bool existed = false;
  KernelHandle mutex = kNoHandle;
  KernelHandle region = kNoHandle;
  std::uint8_t* view = nullptr;
  WindowHandle window = kNoWindow;
  sim::Process& product = Launch([&](Platform& p) {
    mutex = p.session.CreateMutex(kMutex);
    region = p.session.CreateSharedMemory(kRegion, 64, existed);
    view = p.session.MapView(region, 0, 64);
  });
  window = product.CreateWindow("Pictavo 6");
  sim::Process& setup = Launch();
  const WindowHandle live = setup.CreateWindow("Pictavo Setup");
  platform::Session& other = setup.GetPlatform().session;
  const KernelHandle held = other.CreateSharedMemory(kRegion, 64, existed);
  other.MapView(held, 0, 64)[0] = 1;
  machine_.Processes().Start({kSetup, {}, {}}).Run([&](Platform& p) {
    EXPECT_TRUE(
        p.session.TerminateProcess(p.session.OpenProcess(product.Id(), kProcessTerminate), 1));
    return 0;
  });

  platform::Session& ended = product.GetPlatform().session;
  EXPECT_EQ(ended.CreateMutex(kMutex), kNoHandle);
  EXPECT_FALSE(ended.WaitForMutex(mutex));
  EXPECT_FALSE(ended.ReleaseMutex(mutex));
  EXPECT_EQ(ended.CreateSharedMemory("new", 64, existed), kNoHandle);
  EXPECT_FALSE(existed);
  EXPECT_EQ(ended.MapView(region, 0, 64), nullptr);
  EXPECT_FALSE(ended.UnmapView(view));
  EXPECT_FALSE(ended.CloseHandle(region));
  EXPECT_TRUE(ended.TopLevelWindows().empty());
  EXPECT_FALSE(ended.PostMessage(live, platform::kMessageClose, 0, 0));
  EXPECT_FALSE(machine_.Windows().Exists(window));
  EXPECT_EQ(ended.OpenProcess(setup.Id(), kSynchronize), kNoHandle);
  EXPECT_EQ(ended.CurrentProcessId(), product.Id());
  EXPECT_EQ(machine_.Session().OpenHandles(product), 0u);
  // What the dead program's leftover objects write through its old view reaches nobody.
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view[0], 1);
  view[0] = 0x77;
  EXPECT_EQ(machine_.Session().SharedMemory(kRegion)->at(0), 1);
  EXPECT_FALSE(machine_.Session().SharedMemory("new"));
  EXPECT_EQ(machine_.Session().PostedMessages().size(), 0u);
  EXPECT_EQ(
      machine_.Processes().Terminations(),
      (std::vector<sim::Termination>{{machine_.Processes().All().back()->Id(), product.Id(), 1}}));
}

TEST_F(SimSessionTest, TopLevelWindowsComeTopmostFirstWithWhatFiltersRead) {
  sim::Process& product = Launch();
  sim::Process& helper = Launch();
  const WindowHandle main = product.CreateWindow("Pictavo 6");
  const WindowHandle tool = product.CreateWindow("Palette", main, platform::kExStyleToolWindow);
  const WindowHandle other = helper.CreateWindow("");
  platform::Session& session = Launch().GetPlatform().session;
  EXPECT_EQ(session.TopLevelWindows(), (std::vector<WindowHandle>{other, tool, main}));
  machine_.Windows().Show(main, true);  // shown again: on top
  EXPECT_EQ(session.TopLevelWindows(), (std::vector<WindowHandle>{main, other, tool}));

  EXPECT_EQ(session.WindowProcessId(main), product.Id());
  EXPECT_EQ(session.WindowProcessId(other), helper.Id());
  EXPECT_EQ(session.WindowOwner(tool), main);
  EXPECT_EQ(session.WindowOwner(main), kNoWindow);
  EXPECT_EQ(session.WindowExStyle(tool), platform::kExStyleToolWindow);
  EXPECT_EQ(session.WindowExStyle(main), 0u);
  struct Case {
    std::size_t capacity;
    std::string title;
  };
  for (const Case& c : {Case{0, ""}, Case{1, ""}, Case{7, "Pictav"}, Case{10, "Pictavo 6"},
                        Case{260, "Pictavo 6"}}) {
    EXPECT_EQ(session.WindowTitle(main, c.capacity), c.title) << c.capacity;
  }
  EXPECT_EQ(session.WindowTitle(other, 260), "");

  // The owned window goes with its owner; a process destroys only its own windows.
  EXPECT_FALSE(helper.DestroyWindow(main));
  EXPECT_TRUE(product.DestroyWindow(main));
  EXPECT_FALSE(product.DestroyWindow(main));
  EXPECT_EQ(session.TopLevelWindows(), (std::vector<WindowHandle>{other}));
  for (const WindowHandle gone : {main, tool}) {
    EXPECT_EQ(session.WindowProcessId(gone), 0u);
    EXPECT_EQ(session.WindowTitle(gone, 260), "");
  }
  EXPECT_THROW(product.CreateWindow("x", main), sim::ScriptError);
}

TEST_F(SimSessionTest, PostsAreRecordedAndHandlersModelAProductThatCloses) {
  sim::Process& product = Launch();
  const WindowHandle main = product.CreateWindow("Pictavo 6");
  const WindowHandle stubborn = Launch().CreateWindow("Pictavo 6");
  machine_.Session().SetMessageHandler(main, [&](const sim::PostedMessage& posted) {
    if (posted.message == platform::kMessageClose) {
      product.DestroyWindow(main);
      product.End(0);
    }
  });
  machine_.Processes().Start({kSetup, {}, {}}).Run([&](Platform& p) {
    platform::Session& session = p.session;
    const KernelHandle process = session.OpenProcess(product.Id(), kSynchronize);
    EXPECT_TRUE(session.PostMessage(main, 0x0400, 1, -2));
    EXPECT_FALSE(product.Ended());
    EXPECT_FALSE(session.WaitForProcessEnd(process, 500));
    EXPECT_TRUE(session.PostMessage(stubborn, platform::kMessageClose, 0, 0));
    EXPECT_TRUE(session.PostMessage(main, platform::kMessageClose, 0, 0));
    EXPECT_TRUE(product.Ended());
    EXPECT_FALSE(session.PostMessage(main, platform::kMessageClose, 0, 0));
    EXPECT_TRUE(session.WaitForProcessEnd(process, 500));
    EXPECT_EQ(session.TopLevelWindows(), (std::vector<WindowHandle>{stubborn}));
    return 0;
  });
  const unsigned setup = machine_.Processes().All().back()->Id();
  const unsigned other = machine_.Processes().All()[1]->Id();
  EXPECT_EQ(machine_.Session().PostedMessages(),
            (std::vector<sim::PostedMessage>{{setup, main, product.Id(), 0x0400, 1, -2},
                                             {setup, stubborn, other, 0x10, 0, 0},
                                             {setup, main, product.Id(), 0x10, 0, 0}}));
  EXPECT_EQ(product.ExitCode(), 0u);
  EXPECT_EQ(machine_.Processes().All().back()->WaitedMilliseconds(), 500u);
  EXPECT_EQ(machine_.Processes().Waits(),
            (std::vector<sim::ProcessWait>{{setup, product.Id(), 500, false},
                                           {setup, product.Id(), 500, true}}));
}

TEST_F(SimSessionTest, OpeningTerminatingAndWaitingNeedTheirRights) {
  struct Case {
    std::uint32_t access;
    bool terminates;
    bool waits;
  };
  for (const Case& c :
       {Case{0, false, false}, Case{kProcessTerminate, true, false},
        Case{kSynchronize, false, true}, Case{kProcessTerminate | kSynchronize, true, true}}) {
    SCOPED_TRACE(c.access);
    sim::Machine machine;
    sim::Process& product = machine.Processes().Start({kProduct, {}, {}});
    product.Launch([](Platform&) {});
    platform::Session& session = machine.Processes().Start({kSetup, {}, {}}).GetPlatform().session;
    const KernelHandle handle = session.OpenProcess(product.Id(), c.access);
    ASSERT_NE(handle, kNoHandle);
    EXPECT_FALSE(session.WaitForProcessEnd(handle, 10));
    EXPECT_EQ(session.TerminateProcess(handle, 3), c.terminates);
    EXPECT_EQ(product.Ended(), c.terminates);
    EXPECT_EQ(session.WaitForProcessEnd(handle, 10), c.waits && c.terminates);
    EXPECT_EQ(machine.Processes().Waits().size(), c.waits ? 2u : 0u);
    EXPECT_FALSE(session.WaitForMutex(handle));
  }
}

TEST_F(SimSessionTest, OpenProcessFindsLiveProcessesAndEndedOnesAHandleHolds) {
  sim::Process& refusing = Launch();
  machine_.Faults().Set(
      sim::Fault{.call = "OpenProcess", .object = std::to_string(refusing.Id()), .lasting = true});
  sim::Process& product = Launch();
  sim::Process& setup = machine_.Processes().Start({kSetup, {}, {}});
  platform::Session& session = setup.GetPlatform().session;
  EXPECT_EQ(session.OpenProcess(refusing.Id(), kSynchronize), kNoHandle);
  EXPECT_NE(refusing.GetPlatform().session.OpenProcess(refusing.Id(), kSynchronize), kNoHandle);
  EXPECT_EQ(session.OpenProcess(0, kSynchronize), kNoHandle);
  EXPECT_EQ(session.OpenProcess(99999, kSynchronize), kNoHandle);

  const KernelHandle held = session.OpenProcess(product.Id(), kSynchronize);
  product.End(2);
  const KernelHandle again = session.OpenProcess(product.Id(), kSynchronize);
  EXPECT_NE(again, kNoHandle);
  EXPECT_TRUE(session.WaitForProcessEnd(again, 0));
  // Windows does not hand out the id of a process that a handle still holds.
  EXPECT_THROW(machine_.Processes().Start({kProduct, {}, {}, {}, {}, product.Id()}),
               sim::ScriptError);
  EXPECT_THROW(machine_.Processes().Start({kProduct, {}, {}, {}, {}, refusing.Id()}),
               sim::ScriptError);
  EXPECT_THROW(machine_.Processes().Start({kProduct, {}, {}, {}, {}, 0u}), sim::ScriptError);
  EXPECT_TRUE(session.CloseHandle(held));
  EXPECT_TRUE(session.CloseHandle(again));
  EXPECT_EQ(session.OpenProcess(product.Id(), kSynchronize), kNoHandle);

  // The id free again: an unrelated process takes it, and opening it reaches the new one.
  sim::Process& unrelated = Launch([](Platform&) {}, product.Id());
  EXPECT_EQ(unrelated.GetPlatform().session.CurrentProcessId(), product.Id());
  const KernelHandle fresh = session.OpenProcess(product.Id(), kProcessTerminate | kSynchronize);
  EXPECT_FALSE(session.WaitForProcessEnd(fresh, 0));
  EXPECT_TRUE(session.TerminateProcess(fresh, 1));
  EXPECT_TRUE(unrelated.Ended());
  // The machine's own ids step past one a test chose.
  const unsigned chosen = setup.Id() + 4;
  Launch([](Platform&) {}, chosen);
  EXPECT_EQ(machine_.Processes().Start({kSetup, {}, {}}).Id(), chosen + 4);
}

TEST_F(SimSessionTest, TerminationDuringARunKeepsItsCodeAndOfItselfUnwinds) {
  sim::Process& setup = machine_.Processes().Start({kSetup, {}, {}});
  const WindowHandle main = Launch().CreateWindow("Pictavo 6");
  // A product whose close handler terminates the setup that posted to it.
  machine_.Session().SetMessageHandler(main, [&](const sim::PostedMessage&) {
    platform::Session& session = machine_.Processes().All()[1]->GetPlatform().session;
    session.TerminateProcess(session.OpenProcess(setup.Id(), kProcessTerminate), 11);
  });
  bool after = false;
  EXPECT_EQ(setup.Run([&](Platform& p) {
    p.session.PostMessage(main, platform::kMessageClose, 0, 0);
    after = true;
    EXPECT_EQ(p.session.CreateMutex(kMutex), kNoHandle);
    return 0;
  }),
            11u);
  EXPECT_TRUE(after);

  sim::Process& self = machine_.Processes().Start({kSetup, {}, {}});
  bool returned = false;
  EXPECT_EQ(self.Run([&](Platform& p) {
    p.session.TerminateProcess(
        p.session.OpenProcess(p.session.CurrentProcessId(), kProcessTerminate), 12);
    returned = true;
    return 0;
  }),
            12u);
  EXPECT_FALSE(returned);
}

TEST_F(SimSessionTest, ScriptErrorsForWhatCannotHappenInOneThread) {
  sim::Process& product = Launch();
  sim::Process& setup = machine_.Processes().Start({kSetup, {}, {}});
  platform::Session& session = setup.GetPlatform().session;
  EXPECT_THROW(
      session.WaitForProcessEnd(session.OpenProcess(product.Id(), kSynchronize), 0xFFFFFFFF),
      sim::ScriptError);
  EXPECT_THROW(product.Launch([](Platform&) {}), sim::ScriptError);
  EXPECT_THROW(product.GetPlatform().process.ExitProcess(1), sim::ScriptError);
  EXPECT_FALSE(product.Ended());
  product.End(0);
  EXPECT_THROW(product.End(0), sim::ScriptError);
  EXPECT_THROW(product.CreateWindow("late"), sim::ScriptError);
  EXPECT_THROW(setup.Run([&](Platform&) {
    setup.End(0);
    return 0;
  }),
               sim::ScriptError);
}

TEST_F(SimSessionTest, FaultsFailCreationAndViewsAndTheHookSeesTheCreator) {
  platform::Session& session = Launch().GetPlatform().session;
  bool existed = false;
  machine_.Faults().Set(sim::Fault{.call = "CreateMutexA", .object = kMutex, .lasting = true});
  machine_.Faults().Add(
      sim::Fault{.call = "CreateFileMappingA", .object = kRegion, .lasting = true});
  EXPECT_EQ(session.CreateMutex(kMutex), kNoHandle);
  EXPECT_EQ(session.CreateSharedMemory(kRegion, 64, existed), kNoHandle);
  EXPECT_NE(session.CreateMutex("other"), kNoHandle);
  machine_.Faults().Set(std::nullopt);

  std::vector<std::pair<std::string, unsigned>> seen;
  machine_.Session().OnSharedMemoryCreated([&](const std::string& name, unsigned creator) {
    seen.emplace_back(name, creator);
    EXPECT_EQ(machine_.Session().MutexOwner(kMutex), creator);
  });
  const KernelHandle mutex = session.CreateMutex(kMutex);
  ASSERT_TRUE(session.WaitForMutex(mutex));
  const KernelHandle region = session.CreateSharedMemory(kRegion, 64, existed);
  EXPECT_NE(Launch().GetPlatform().session.CreateSharedMemory(kRegion, 64, existed), kNoHandle);
  EXPECT_EQ(seen,
            (std::vector<std::pair<std::string, unsigned>>{{kRegion, session.CurrentProcessId()}}));

  machine_.Faults().Set(sim::Fault{.call = "MapViewOfFile", .lasting = true});
  EXPECT_EQ(session.MapView(region, 0, 64), nullptr);
  machine_.Faults().Set(std::nullopt);
  EXPECT_NE(session.MapView(region, 0, 64), nullptr);
}

TEST_F(SimSessionTest, ARestartEndsTheSessionsObjects) {
  bool existed = false;
  sim::Process& product = Launch([&](Platform& p) {
    p.session.WaitForMutex(p.session.CreateMutex(kMutex));
    p.session.CreateSharedMemory(kRegion, 64, existed);
  });
  product.CreateWindow("Pictavo 6");
  machine_.Reboot();
  EXPECT_TRUE(product.Ended());
  EXPECT_EQ(machine_.Session().MutexOwner(kMutex), 0u);
  EXPECT_FALSE(machine_.Session().SharedMemory(kRegion));
  platform::Session& session = Launch().GetPlatform().session;
  EXPECT_TRUE(session.TopLevelWindows().empty());
  EXPECT_NE(session.CreateSharedMemory(kRegion, 64, existed), kNoHandle);
  EXPECT_FALSE(existed);
}

}  // namespace
