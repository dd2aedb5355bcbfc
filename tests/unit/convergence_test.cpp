// Stopped at any point, never stuck: the power goes at every change that an installation makes
// to the machine. After a restart the road a user takes next (the setup again, or the uninstall
// entry's command while the entry and its program are there) must end as a clean installation,
// and the removal after it as the machine was before.
#include <gtest/gtest.h>

#include <iostream>
#include <memory>

#include "platform/errors.h"
#include "program_runner.h"

namespace {

using platform::kHkeyLocalMachine;

constexpr char kSetup[] = "D:\\Dist\\setup.exe";
constexpr char kUninstaller[] = "C:\\Program Files\\Pictavo 6\\PictvUnInst.exe";
constexpr char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictavo 6";

enum class Road { Install, Removal };

// A machine before the product: the system's keys, and the sample distribution on drive D.
std::unique_ptr<sim::Machine> FreshMachine() {
  auto machine = std::make_unique<sim::Machine>();
  sim::FileSystem& files = machine->Files();
  for (const char* name : {"setup.exe", "readme.txt", "Pictv6Man.chm", "HomePage.url",
                           "agreement.txt", "Samples\\one.pvs", "Samples\\two.pvs"}) {
    files.WriteFile(std::string("D:\\Dist\\") + name, name);
  }
  files.WriteFile("D:\\Dist\\Pictv6.exe", "product");
  files.SetFileVersion("D:\\Dist\\Pictv6.exe", platform::FixedFileVersion{0x0006001E, 0x00020000});
  files.WriteFile("D:\\Dist\\PictvUnInst.log",
                  "File Copy: Pictv6.exe\r\nFile Copy: setup.exe>PictvUnInst.exe\r\n"
                  "File Copy: *.chm\r\nFile Copy: readme.txt\r\nFile Copy: HomePage.url\r\n"
                  "Make Dir: Samples\r\nFile Copy: Samples\\*.pvs\r\n");
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
unsigned Remove(sim::Machine& machine) {
  const unsigned code = RunProgram(machine, kUninstaller, {"-s"}).exitCode;
  RunRemovalTail(machine);
  return code;
}

unsigned Walk(sim::Machine& machine, Road road) {
  return road == Road::Install ? Install(machine) : Remove(machine);
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
  }

  // The machine after `road` was cut by `fault`, and a restart; whether the fault fired.
  std::unique_ptr<sim::Machine> Cut(Road road, const sim::Fault& fault, bool& fired) {
    std::unique_ptr<sim::Machine> machine = FreshMachine();
    if (road == Road::Removal) {
      Install(*machine);
      machine->Reboot();
    }
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
      EXPECT_EQ(State(*machine), road == Road::Install ? installed_ : before_)
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
      EXPECT_EQ(State(*machine), installed_) << "the setup run again is no clean installation";
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
  unsigned emptyCopies_ = 0;
  unsigned emptiedWininits_ = 0;
};

TEST_F(ConvergenceTest, PowerLossAnywhereInAnInstallationOrARemovalConverges) {
  const unsigned installation = EveryPoint(Road::Install, sim::Fault::Kind::PowerLoss, 0);
  std::cout << "power lost at each of " << installation << " changes of the installation\n";
  EXPECT_GT(installation, 40u);
  EXPECT_EQ(emptyCopies_, 0u);

  const unsigned removal = EveryPoint(Road::Removal, sim::Fault::Kind::PowerLoss, 0);
  std::cout << "power lost at each of " << removal << " changes of the removal\n";
  EXPECT_GT(removal, 40u);
  // Only the cut right after the copy is made leaves it, empty; the three machines that the
  // test makes from that cut each show it.
  EXPECT_EQ(emptyCopies_, 3u);
}

TEST_F(ConvergenceTest, AFailedCallAnywhereEndsHonestlyAndTheNextRunConverges) {
  for (const Road road : {Road::Install, Road::Removal}) {
    for (const unsigned error :
         {unsigned{platform::kErrorAccessDenied}, unsigned{platform::kErrorDiskFull}}) {
      const std::string name = road == Road::Install ? "installation" : "removal";
      SCOPED_TRACE(name + ", error " + std::to_string(error));
      const unsigned tried = EveryPoint(road, sim::Fault::Kind::Fail, error);
      std::cout << "error " << error << " at each of " << tried << " changes of the " << name
                << "\n";
      EXPECT_GT(tried, 40u);
    }
  }
  EXPECT_EQ(emptyCopies_, 0u);
  // Refused delayed operations fall back on WININIT.INI: for the copy, and for the tail's file.
  EXPECT_GT(emptiedWininits_, 0u);
}

}  // namespace
