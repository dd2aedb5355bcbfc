// Stopped at any point, never stuck: the power goes at every change that an installation, an
// update of an earlier version or a removal makes to the machine. After a restart the road a user
// takes next (the setup again, or the uninstall entry's command while the entry and its program are
// there) must end as a clean installation, and the removal after it as the machine was before.
#include <gtest/gtest.h>

#include <iostream>
#include <memory>

#include "platform/errors.h"
#include "program_runner.h"

namespace {

using platform::kHkeyLocalMachine;

constexpr char kSetup[] = "D:\\Dist\\setup.exe";
constexpr char kEarlierSetup[] = "D:\\Old\\setup.exe";
constexpr char kUninstaller[] = "C:\\Program Files\\Pictavo 6\\PictvUnInst.exe";
constexpr char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictavo 6";

// The removal as the entry's command starts it (-s), and as a user starts it, answering Yes.
enum class Road { Install, Update, Removal, AskedRemoval };

// A sample distribution of version 6.`minor` in `folder`; `earlier` has a file that the later
// version no longer has and deletes, and the later one a file of its own.
void WriteDistribution(sim::FileSystem& files, const std::string& folder, unsigned minor,
                       bool earlier) {
  for (const char* name : {"setup.exe", "readme.txt", "Pictv6Man.chm", "HomePage.url",
                           "agreement.txt", "Samples\\one.pvs", "Samples\\two.pvs"}) {
    files.WriteFile(folder + name, name + std::to_string(minor));
  }
  files.WriteFile(folder + "Pictv6.exe", "product " + std::to_string(minor));
  files.SetFileVersion(folder + "Pictv6.exe", platform::FixedFileVersion{0x00060000 + minor, 0});
  std::string manifest =
      "File Copy: Pictv6.exe\r\nFile Copy: setup.exe>PictvUnInst.exe\r\n"
      "File Copy: *.chm\r\nFile Copy: readme.txt\r\nFile Copy: HomePage.url\r\n"
      "Make Dir: Samples\r\nFile Copy: Samples\\*.pvs\r\n";
  if (earlier) {
    files.WriteFile(folder + "Pictv6Old.dll", "retired");
    manifest += "File Copy: Pictv6Old.dll\r\n";
  } else {
    files.WriteFile(folder + "Pictv6Fx.dll", "added");
    manifest += "File Del: Pictv6Old.dll\r\nFile Copy: Pictv6Fx.dll\r\n";
  }
  files.WriteFile(folder + "PictvUnInst.log", manifest);
}

// A machine before the product: the system's keys, the sample distribution on drive D, and an
// earlier version's beside it.
std::unique_ptr<sim::Machine> FreshMachine() {
  auto machine = std::make_unique<sim::Machine>();
  WriteDistribution(machine->Files(), "D:\\Dist\\", 30, false);
  WriteDistribution(machine->Files(), "D:\\Old\\", 20, true);
  for (const char* key : {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
                          "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}) {
    machine->Registry().CreateKey(kHkeyLocalMachine, key);
  }
  return machine;
}

unsigned Install(sim::Machine& machine) {
  return RunProgram(machine, kSetup, {"-s"}).exitCode;
}

// The uninstaller, its copy that removes the product, and the tail that takes the uninstaller
// away once it has ended; the uninstaller's exit code.
unsigned Remove(sim::Machine& machine, bool silent = true) {
  std::vector<std::string> arguments;
  if (silent) {
    arguments.push_back("-s");
  }
  const unsigned code = RunProgram(machine, kUninstaller, arguments).exitCode;
  RunRemovalTail(machine);
  return code;
}

bool IsRemoval(Road road) {
  return road == Road::Removal || road == Road::AskedRemoval;
}

unsigned Walk(sim::Machine& machine, Road road) {
  if (road == Road::AskedRemoval) {
    // Yes to the question, OK to the message that ends it; a cut may leave them unused.
    machine.GetUser().WillAnswer(platform::BoxResult::Yes);
    machine.GetUser().WillAnswer(platform::BoxResult::Ok);
    return Remove(machine, false);
  }
  return road == Road::Removal ? Remove(machine) : Install(machine);
}

// What the road starts from: nothing, the earlier version, or this one; after a restart.
void Prepare(sim::Machine& machine, Road road) {
  if (road == Road::Update) {
    RunProgram(machine, kEarlierSetup, {"-s"});
  } else if (IsRemoval(road)) {
    Install(machine);
  }
  machine.Reboot();
}

bool EntryCanRemove(sim::Machine& machine) {
  return machine.Registry().GetString(kHkeyLocalMachine, kUninstallKey, "UninstallString") &&
         machine.Files().Exists(kUninstaller);
}

// An empty uni*.tmp in the user's temp folder: what a power cut leaves between the moment the
// uninstaller's temporary copy is made and the next, which sets it to go at the next start.
bool IsEmptyTemporaryCopy(const std::string& line) {
  return line.find("\\AppData\\Local\\Temp\\uni") != std::string::npos &&
         line.find(" 0 bytes,") != std::string::npos;
}

// The system's own WININIT.INI, emptied by the start that carried out its [rename] section: a
// deletion goes there only where the delayed operations were refused.
bool IsEmptiedWininit(const std::string& line) {
  return line.rfind("C:\\WINDOWS\\WININIT.INI ", 0) == 0 &&
         line.find(" 0 bytes,") != std::string::npos;
}

class ConvergenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::unique_ptr<sim::Machine> machine = FreshMachine();
    before_ = machine->Snapshot();
    Install(*machine);
    machine->Reboot();
    installed_ = machine->Snapshot();
    machine = FreshMachine();
    Prepare(*machine, Road::Update);
    Install(*machine);
    machine->Reboot();
    updated_ = machine->Snapshot();
  }

  // How a run of the road that ends complete leaves the machine.
  const std::vector<std::string>& Completed(Road road) const {
    return road == Road::Install ? installed_ : road == Road::Update ? updated_ : before_;
  }

  // The machine after `road` was cut by `fault`, and a restart; whether the fault fired.
  std::unique_ptr<sim::Machine> Cut(Road road, const sim::Fault& fault, bool& fired) {
    std::unique_ptr<sim::Machine> machine = FreshMachine();
    Prepare(*machine, road);
    machine->Faults().Set(fault);
    fired = false;
    std::optional<unsigned> code;
    try {
      code = Walk(*machine, road);
    } catch (const sim::PowerLoss&) {
      fired = true;
    }
    fired = fired || machine->Faults().Calls() >= fault.at;
    machine->Faults().Set(std::nullopt);
    machine->Reboot();
    // A run that says it is complete must be: the exit code is what deployment tools go by.
    if (code == 0u) {
      EXPECT_EQ(State(*machine), Completed(road))
          << "the run ended with 0 but did not do everything";
    }
    return machine;
  }

  // The machine's state, but an empty temporary copy and an emptied WININIT.INI, which are
  // counted.
  std::vector<std::string> State(sim::Machine& machine) {
    std::vector<std::string> state = machine.Snapshot();
    emptyCopies_ += static_cast<unsigned>(std::erase_if(state, IsEmptyTemporaryCopy));
    emptiedWininits_ += static_cast<unsigned>(std::erase_if(state, IsEmptiedWininit));
    return state;
  }

  // From the cut machine both ways a user may go on must end clean: the setup again, then the
  // removal; and, while the entry can remove, the entry's command at once.
  void ExpectConvergence(Road road, const sim::Fault& fault, bool& fired) {
    {
      std::unique_ptr<sim::Machine> machine = Cut(road, fault, fired);
      Install(*machine);
      machine->Reboot();
      EXPECT_EQ(State(*machine), road == Road::Update ? updated_ : installed_)
          << "the setup run again is no clean installation";
      Remove(*machine);
      machine->Reboot();
      EXPECT_EQ(State(*machine), before_) << "the removal after it leaves traces";
    }
    std::unique_ptr<sim::Machine> machine = Cut(road, fault, fired);
    if (EntryCanRemove(*machine)) {
      Remove(*machine);
      machine->Reboot();
      EXPECT_EQ(State(*machine), before_) << "the entry's command leaves traces";
    } else {
      // No entry that could remove: nothing of the product may be left for lack of one.
      EXPECT_FALSE(
          machine->Registry().GetString(kHkeyLocalMachine, kUninstallKey, "UninstallString"))
          << "an entry whose program is gone";
    }
  }

  // Every stop point of the road, then the end of it: how many were tried.
  unsigned EveryPoint(Road road, sim::Fault::Kind kind, unsigned error) {
    unsigned tried = 0;
    for (unsigned at = 1;; ++at) {
      SCOPED_TRACE("change " + std::to_string(at));
      bool fired = false;
      ExpectConvergence(road, {kind, at, error}, fired);
      if (!fired || HasFailure()) {
        break;
      }
      ++tried;
    }
    return tried;
  }

  std::vector<std::string> before_;
  std::vector<std::string> installed_;
  std::vector<std::string> updated_;
  unsigned emptyCopies_ = 0;
  unsigned emptiedWininits_ = 0;
};

const char* Name(Road road) {
  constexpr const char* kNames[] = {"installation", "update", "removal", "asked removal"};
  return kNames[static_cast<int>(road)];
}

TEST_F(ConvergenceTest, PowerLossAnywhereInAnInstallationAnUpdateOrARemovalConverges) {
  for (const Road road : {Road::Install, Road::Update}) {
    SCOPED_TRACE(Name(road));
    const unsigned tried = EveryPoint(road, sim::Fault::Kind::PowerLoss, 0);
    std::cout << "power lost at each of " << tried << " changes of the " << Name(road) << "\n";
    EXPECT_GT(tried, 40u);
  }
  EXPECT_EQ(emptyCopies_, 0u);

  for (const Road road : {Road::Removal, Road::AskedRemoval}) {
    SCOPED_TRACE(Name(road));
    const unsigned tried = EveryPoint(road, sim::Fault::Kind::PowerLoss, 0);
    std::cout << "power lost at each of " << tried << " changes of the " << Name(road) << "\n";
    EXPECT_GT(tried, 40u);
  }
  // Only the cut right after the copy is made leaves it, empty; the three machines that the
  // test makes from that cut each show it, in each of the two removals.
  EXPECT_EQ(emptyCopies_, 6u);
}

TEST_F(ConvergenceTest, AFailedCallAnywhereEndsHonestlyAndTheNextRunConverges) {
  for (const Road road : {Road::Install, Road::Update, Road::Removal, Road::AskedRemoval}) {
    for (const unsigned error :
         {unsigned{platform::kErrorAccessDenied}, unsigned{platform::kErrorDiskFull}}) {
      SCOPED_TRACE(std::string(Name(road)) + ", error " + std::to_string(error));
      const unsigned tried = EveryPoint(road, sim::Fault::Kind::Fail, error);
      std::cout << "error " << error << " at each of " << tried << " changes of the " << Name(road)
                << "\n";
      EXPECT_GT(tried, 40u);
    }
  }
  EXPECT_EQ(emptyCopies_, 0u);
  // Refused delayed operations fall back on WININIT.INI: for the copy, and for the tail's file.
  EXPECT_GT(emptiedWininits_, 0u);
}

}  // namespace
