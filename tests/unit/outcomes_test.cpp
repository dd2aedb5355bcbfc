// How runs end when the machine refuses something: the exit code, the last page or box, the log
// and what is left on the machine. Each case is one failure injected into one kind of call.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>

#include "program_runner.h"
#include "resources/catalogue.h"
#include "wizard/layout.h"

namespace {

using platform::BoxResult;
using platform::kHkeyLocalMachine;

constexpr char kDist[] = "D:\\Dist";
constexpr char kSetup[] = "D:\\Dist\\setup.exe";
constexpr char kLog[] = "C:\\Logs\\setup.log";
constexpr char kDefaultFolder[] = "C:\\Program Files\\Pictavo 6";
constexpr char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictavo 6";
constexpr char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class OutcomesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_ = std::make_unique<sim::Machine>();
    sim::FileSystem& files = M().Files();
    const std::string dist = kDist;
    files.WriteFile(kSetup, std::string(4000, 's'));
    for (const char* name : {"readme.txt", "Pictv6Man.chm", "agreement.txt", "Samples\\one.pvs"}) {
      files.WriteFile(dist + "\\" + name, std::string(200, 'p'));
    }
    files.WriteFile(dist + "\\Pictv6.exe", std::string(1000, 'x'));
    files.SetFileVersion(dist + "\\Pictv6.exe", platform::FixedFileVersion{0x0006001E, 0x00020000});
    files.WriteFile(dist + "\\PictvUnInst.log",
                    "File Copy: Pictv6.exe\r\nFile Copy: setup.exe>PictvUnInst.exe\r\n"
                    "File Copy: *.chm\r\nFile Copy: readme.txt\r\nMake Dir: Samples\r\n"
                    "File Copy: Samples\\*.pvs\r\n");
    files.CreateFolders("C:\\Logs");
  }

  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    std::istringstream text(M().Files().ReadFile(kLog).value_or(""));
    for (std::string line; std::getline(text, line);) {
      if (!line.empty() && line.back() == '\r') {
        line.pop_back();
      }
      lines.push_back(line);
    }
    return lines;
  }
  bool LogHas(const std::string& start, const std::string& part = "") {
    for (const std::string& line : LogLines()) {
      if (line.rfind(start, 0) == 0 && line.find(part) != std::string::npos) {
        return true;
      }
    }
    return false;
  }
  std::string CommonPrograms() {
    return M().Registry().GetString(kHkeyLocalMachine, kShellFolders, "Common Programs").value();
  }

  sim::Machine& M() { return *machine_; }

  // The page on show when the user last acted.
  const sim::SeenWindow& LastPage() {
    for (const sim::SeenWindow& page : M().GetUser().Dialogs().back().pages) {
      if (page.visible) {
        return page;
      }
    }
    throw sim::ScriptError("no page on show");
  }

  std::unique_ptr<sim::Machine> machine_;
};

// The table: what the machine refuses, where the product goes, and what the run must say.
struct FailureCase {
  const char* name;
  std::function<void(sim::Machine&)> inject;
  const char* folder;  // -instdir; empty for the default folder
  unsigned exitCode;
  const char* failedCall;  // a "Failed: " line of the log names it, with the error
  const char* error;
  bool entry;   // whether an uninstall entry exists afterwards
  bool placed;  // whether the product's files and shortcuts stay: its uninstaller can remove them
};

TEST_F(OutcomesTest, EachRefusalEndsWithAnHonestCodeLogAndMachine) {
  const std::vector<FailureCase> cases = {
      {"full disk",
       [](sim::Machine& m) {
         m.Files().CreateFolders("F:\\Apps");
         m.Files().SetDriveCapacity('F', 1500);
       },
       "F:\\Apps", 1603, "CopyFileA", "error 112", false, false},
      {"read-only folder",
       [](sim::Machine& m) {
         m.Files().CreateFolders("R:\\Apps");
         m.Files().DenyChanges("R:\\", platform::kErrorWriteProtect);
       },
       "R:\\Apps", 1603, "CopyFileA", "error 19", false, false},
      {"registry refused", [](sim::Machine& m) { m.Faults().Set(sim::NoAdministratorRights()); },
       "", 1603, "RegCreateKeyA", "error 5", false, true},
      {"shortcut not saved",
       [](sim::Machine& m) {
         m.Faults().Set(sim::Fault{
             .error = platform::kHresultFail, .call = "IShellLink::Save", .lasting = true});
       },
       "", 1603, "IPersistFile::Save", "error 0x", true, true},
      {"nothing refused", [](sim::Machine&) {}, "", 0, nullptr, nullptr, true, true},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    c.inject(M());
    std::vector<std::string> arguments = {"-s", "-log", kLog};
    if (*c.folder) {
      arguments.insert(arguments.end(), {"-instdir", c.folder});
    }

    const ProgramRun run = RunProgram(M(), kSetup, arguments);

    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_TRUE(M().GetUser().Boxes().empty());
    const std::vector<std::string> lines = LogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), std::string("Pictavo Setup log: ") + kSetup);
    EXPECT_EQ(lines.back(), (c.exitCode == 0 ? "Outcome: complete, exit code 0"
                                             : "Outcome: not complete, exit code 1603"));
    if (c.failedCall) {
      EXPECT_TRUE(LogHas(std::string("Failed: ") + c.failedCall, c.error))
          << ::testing::PrintToString(lines);
    } else {
      EXPECT_FALSE(LogHas("Failed: ")) << ::testing::PrintToString(lines);
    }
    const std::string folder = *c.folder ? c.folder : kDefaultFolder;
    const bool entry = M().Registry().KeyExists(kHkeyLocalMachine, kUninstallKey);
    EXPECT_EQ(entry, c.entry);
    // Never an entry or a shortcut whose uninstaller cannot remove the product.
    if (c.placed) {
      EXPECT_EQ(M().Files().ReadFile(folder + "\\PictvUnInst.exe"), M().Files().ReadFile(kSetup));
      EXPECT_TRUE(M().Files().Exists(folder + "\\Pictv6.exe"));
    } else {
      // A new installation that could not be made whole leaves nothing of itself.
      EXPECT_FALSE(M().Files().Exists(CommonPrograms() + "\\Pictavo 6"));
      EXPECT_FALSE(M().Files().Exists(folder + "\\PictvUnInst.exe"));
      EXPECT_FALSE(M().Files().Exists(folder + "\\Pictv6.exe"));
      EXPECT_TRUE(M().Files().Exists(folder)) << "the user's own folder stays";
    }
  }
}

TEST_F(OutcomesTest, FileInUseAtAnUpdateCompletesAfterARestart) {
  ASSERT_EQ(RunProgram(M(), kSetup, {"-s"}).exitCode, 0u);
  M().Files().SetInUse(std::string(kDefaultFolder) + "\\Pictv6.exe", sim::InUse::NotRenamable);
  // Callers who did not ask for the restart code have always seen 0 here.
  EXPECT_EQ(RunProgram(M(), kSetup, {"-s", "-log", kLog}).exitCode, 0u);
  EXPECT_EQ(LogLines().back(), "Outcome: complete after a restart, exit code 0");
  EXPECT_TRUE(LogHas("At next start: rename ", "Pictv6.exe.new"));
  EXPECT_EQ(RunProgram(M(), kSetup, {"-s", "-restartcode"}).exitCode, 3010u);
}

TEST_F(OutcomesTest, WizardSaysWhatFailedAndWhereTheLogIs) {
  M().Files().CreateFolders("F:\\Apps");
  M().Files().SetDriveCapacity('F', 1500);
  sim::User& user = M().GetUser();
  for (int page = 0; page < 5; ++page) {
    user.Press(layout::kNext);
  }
  user.Press(layout::kNext);  // Finish

  const ProgramRun run = RunProgram(M(), kSetup, {"-instdir", "F:\\Apps", "-log", kLog});

  EXPECT_EQ(run.exitCode, 1603u);
  const sim::SeenWindow& last = LastPage();
  EXPECT_EQ(last.Control(layout::kReadyText)->text, "Pictavo 6 has not been installed completely.");
  EXPECT_EQ(last.Control(layout::kReadyHint)->text,
            "4 files could not be copied into F:\\Apps. The log C:\\Logs\\setup.log names each "
            "call that failed.");
  EXPECT_FALSE(last.Control(layout::kRunProduct)->visible);
  EXPECT_TRUE(M().Shell().OpenedFiles().empty()) << "no vendor page for a failed installation";
}

TEST_F(OutcomesTest, LogNameIsTakenFromTheStartFolderAndALogThatCannotBeWrittenStopsNothing) {
  // Relative to the folder the run starts in, although the installation moves to its own.
  EXPECT_EQ(RunProgram(M(), kSetup, {"-LOG", "setup.log", "-s"}).exitCode, 0u);
  const std::string log = M().Files().ReadFile(std::string(kDist) + "\\setup.log").value_or("");
  EXPECT_NE(log.find("Outcome: complete, exit code 0\r\n"), std::string::npos) << log;

  EXPECT_EQ(RunProgram(M(), kSetup, {"-s", "-log", "Q:\\nowhere\\setup.log"}).exitCode, 0u);
  EXPECT_TRUE(M().Files().Exists(std::string(kDefaultFolder) + "\\Pictv6.exe"));
}

}  // namespace
