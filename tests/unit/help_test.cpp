#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/outcome.h"
#include "engine/switches.h"
#include "platform/sim/faults.h"
#include "program_runner.h"
#include "resources/catalogue.h"
#include "resources/resource_tables.h"

namespace {

constexpr char kDist[] = "D:\\Dist";
constexpr char kSetup[] = "D:\\Dist\\setup.exe";
constexpr char kUninstaller[] = "C:\\Program Files\\Pictavo 6\\PictvUnInst.exe";

std::string HelpText() {
  const resources::StringEntry* entry = resources::FindString(catalogue::kSwitchHelp);
  return entry ? std::string(entry->text) : std::string();
}

// What the help's lines name before their ": ": the switches (the help's own spellings share a
// line, parted by ", "; a switch may be followed by the name of its value) and the exit codes.
// Other lines name neither.
struct HelpHeads {
  std::multiset<std::string> switches;
  std::multiset<unsigned> exitCodes;
};

HelpHeads ReadHeads(const std::string& text) {
  HelpHeads heads;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t colon = line.find(": ");
    if (colon == std::string::npos || line.empty()) {
      continue;
    }
    const std::string head = line.substr(0, colon);
    if (head.find_first_not_of("0123456789") == std::string::npos) {
      heads.exitCodes.insert(static_cast<unsigned>(std::stoul(head)));
      continue;
    }
    if (head[0] != '-' && head[0] != '/') {
      continue;
    }
    std::size_t start = 0;
    for (;;) {
      const std::size_t comma = head.find(", ", start);
      const std::string spelling = head.substr(start, comma - start);
      heads.switches.insert(spelling.substr(0, spelling.find(' ')));
      if (comma == std::string::npos) {
        break;
      }
      start = comma + 2;
    }
  }
  return heads;
}

TEST(SwitchHelpTest, TheHelpGivesEverySwitchOneLineAndNamesNoOther) {
  const HelpHeads heads = ReadHeads(HelpText());
  const std::multiset<std::string> accepted(switches::kAll.begin(), switches::kAll.end());
  EXPECT_EQ(heads.switches, accepted);
}

TEST(SwitchHelpTest, TheHelpNamesEveryExitCodeOnce) {
  std::set<unsigned> codes;
  for (Outcome outcome :
       {Outcome::Complete, Outcome::CompleteAfterRestart, Outcome::NotComplete, Outcome::Cancelled,
        Outcome::DamagedDistribution, Outcome::AnotherSetupRunning}) {
    codes.insert(ExitCodeOf(outcome, false));
    codes.insert(ExitCodeOf(outcome, true));
  }
  const HelpHeads heads = ReadHeads(HelpText());
  EXPECT_EQ(heads.exitCodes, std::multiset<unsigned>(codes.begin(), codes.end()));
}

// A switch that a parser spells out itself, instead of taking it from the table, would escape
// the help: every literal of the sources that looks like one must be in the table.
TEST(SwitchHelpTest, EverySwitchTheSourcesSpellIsInTheTable) {
  const std::regex literal(R"re("((--|-|/)[A-Za-z?]+)")re");
  const std::set<std::string> accepted(switches::kAll.begin(), switches::kAll.end());
  std::set<std::string> spelled;
  const std::filesystem::path sources = std::filesystem::path(PICTAVO_SOURCE_DIR) / "src";
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(sources)) {
    const std::string extension = entry.path().extension().string();
    if (extension != ".cpp" && extension != ".h") {
      continue;
    }
    ++files;
    std::ifstream in(entry.path());
    const std::string code((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::sregex_iterator match(code.begin(), code.end(), literal), end; match != end;
         ++match) {
      spelled.insert((*match)[1]);
      EXPECT_TRUE(accepted.count((*match)[1])) << (*match)[1] << " in " << entry.path();
    }
  }
  EXPECT_GT(files, 50);
  // The scan itself must see the parsers' spellings.
  EXPECT_TRUE(spelled.count("-instdir") && spelled.count("/s") && spelled.count("--help"));
}

class HelpRunTest : public ::testing::Test {
 protected:
  // A distribution that a run without the help would install, and an installation that a
  // removal would take away.
  void SetUp() override {
    sim::FileSystem& files = machine_.Files();
    const std::string dist = kDist;
    files.WriteFile(kSetup, "setup");
    files.WriteFile(dist + "\\Pictv6.exe", "product");
    files.SetFileVersion(dist + "\\Pictv6.exe", platform::FixedFileVersion{0x0006001E, 0x00020000});
    files.WriteFile(dist + "\\PictvUnInst.log", "File Copy: Pictv6.exe\r\n");
    files.WriteFile(kUninstaller, "setup");
  }

  // The power goes at the first change a run makes to the machine, and at the first named
  // object it makes (the instance list's locks and region, the busy mark).
  void CutThePowerAtTheFirstTouch() {
    machine_.Faults().Set(sim::Fault{.kind = sim::Fault::Kind::PowerLoss});
    machine_.Faults().Add({.kind = sim::Fault::Kind::PowerLoss, .call = "CreateMutexA"});
    machine_.Faults().Add({.kind = sim::Fault::Kind::PowerLoss, .call = "CreateFileMappingA"});
  }

  // A run that only shows the help gets through, and leaves the machine as it was.
  ProgramRun RunUntouched(const std::string& program, std::vector<std::string> arguments) {
    CutThePowerAtTheFirstTouch();
    const std::vector<std::string> before = machine_.Snapshot();
    ProgramRun run{};
    EXPECT_NO_THROW(run = RunProgram(machine_, program, std::move(arguments)));
    EXPECT_EQ(machine_.Snapshot(), before);
    EXPECT_TRUE(machine_.Processes().Created().empty());
    EXPECT_TRUE(machine_.Shell().OpenedFiles().empty());
    return run;
  }

  sim::Machine machine_;
};

TEST_F(HelpRunTest, HelpShowsOneBoxOfNoOwnerAndEndsWithZeroHavingDoneNothing) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> runs = {
      {kSetup, {"/?"}},
      {kSetup, {"-allusers", "-runafter", "--HELP"}},
      {kSetup, {"-log", "D:\\setup.log", "-h"}},
      // "/s" closes running programs without asking; it does not silence the help.
      {kSetup, {"-install", "/s", "-?"}},
      {kUninstaller, {"/h"}},
  };
  for (const auto& [program, arguments] : runs) {
    SCOPED_TRACE(program + " " + arguments.back());
    machine_.GetUser().WillAnswer(platform::BoxResult::Ok);
    const std::size_t shown = machine_.GetUser().Boxes().size();

    const ProgramRun run = RunUntouched(program, arguments);

    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_EQ(machine_.GetUser().Boxes().size(), shown + 1);
    const sim::ShownBox& box = machine_.GetUser().Boxes().back();
    EXPECT_EQ(box.owner, platform::kNoWindow);
    EXPECT_EQ(box.text, HelpText());
    EXPECT_EQ(box.caption, "Pictavo Setup");
    EXPECT_EQ(box.style, (platform::BoxStyle{platform::Buttons::Ok, platform::Icon::Information}));
    EXPECT_FALSE(run.options.Silent);
  }
}

TEST_F(HelpRunTest, SilentHelpShowsNothingAndEndsWithZeroHavingDoneNothing) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"-s", "/?"}, {"--help", "-S"}, {"-install", "-s", "-h"}}) {
    const ProgramRun run = RunUntouched(kSetup, arguments);
    EXPECT_EQ(run.exitCode, 0u);
  }
  const ProgramRun removal = RunUntouched(kUninstaller, {"-s", "-?"});
  EXPECT_EQ(removal.exitCode, 0u);
  EXPECT_TRUE(machine_.GetUser().Boxes().empty());
  EXPECT_TRUE(machine_.Files().Exists(kUninstaller));
}

TEST_F(HelpRunTest, WithoutAHelpSwitchTheSameRunsAreStoppedByTheFirstTouch) {
  // The counterpart of the runs above: the cut catches any run that does more than the help.
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"-s", "-help"}, {"-allusers", "-runafter", "-s"}}) {
    CutThePowerAtTheFirstTouch();
    EXPECT_THROW(RunProgram(machine_, kSetup, arguments), sim::PowerLoss) << arguments[0];
    machine_.Reboot();
  }
  machine_.Faults().Set(std::nullopt);
  EXPECT_EQ(RunProgram(machine_, kSetup, {"-s", "-help"}).exitCode, 0u);
  EXPECT_TRUE(machine_.Files().Exists("C:\\Program Files\\Pictavo 6\\Pictv6.exe"));
}

}  // namespace
