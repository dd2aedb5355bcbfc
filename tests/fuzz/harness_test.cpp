// The fuzz harness's own reading of its input and its judgement of what changed: a checker
// that lets an escape through would leave the fuzzer blind, one that flags the program's own
// places would stop it on every input.
#include <gtest/gtest.h>

#include "fuzz_input.h"
#include "fuzz_scenario.h"

namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;

constexpr char kFolder[] = "C:\\Program Files\\Pictavo 6";
constexpr char kCommonPrograms[] = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";

std::string Input(char switches, char moreSwitches,
                  std::initializer_list<std::string_view> sections) {
  std::string bytes = {switches, moreSwitches};
  bool first = true;
  for (std::string_view section : sections) {
    if (!first) {
      bytes += fuzz::kSectionMarker;
    }
    bytes += section;
    first = false;
  }
  return bytes;
}

TEST(SplitFuzzInputTest, SectionsFollowTheLeadingByte) {
  fuzz::FuzzInput input = fuzz::SplitFuzzInput("");
  EXPECT_EQ(input.switches, 0);
  EXPECT_EQ(input.manifest, "");
  EXPECT_FALSE(input.installedLog || input.olderLog);

  input = fuzz::SplitFuzzInput("\x81");
  EXPECT_EQ(input.switches, 0x81);
  EXPECT_EQ(input.moreSwitches, 0);
  EXPECT_EQ(input.manifest, "");

  input = fuzz::SplitFuzzInput(Input('\x81', '\x0C', {"File Copy: a\r\n"}));
  EXPECT_EQ(input.switches, 0x81);
  EXPECT_EQ(input.moreSwitches, 0x0C);
  EXPECT_EQ(input.manifest, "File Copy: a\r\n");
  EXPECT_FALSE(input.installedLog);

  // An empty section is there, and differs from a missing one.
  input = fuzz::SplitFuzzInput(Input('\x01', '\0', {"m", ""}));
  EXPECT_EQ(input.installedLog, "");
  EXPECT_FALSE(input.olderLog);

  input = fuzz::SplitFuzzInput(Input(
      '\0', '\0',
      {std::string_view("m\0z", 3), "installed", "older", "one.dat\r\n\r\nSub\\two.dat\nlast"}));
  EXPECT_EQ(input.manifest, std::string("m\0z", 3));
  EXPECT_EQ(input.installedLog, "installed");
  EXPECT_EQ(input.olderLog, "older");
  EXPECT_EQ(input.extraFiles, (std::vector<std::string>{"one.dat", "Sub\\two.dat", "last"}));

  // Markers after the fourth section are lines of it.
  input = fuzz::SplitFuzzInput(Input('\0', '\0', {"", "", "", "a", "b"}));
  EXPECT_EQ(input.extraFiles, (std::vector<std::string>{"a", "--8<--", "b"}));
}

class ChangesOutsideTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* key : {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths"}) {
      machine_.Registry().CreateKey(kHkeyLocalMachine, key);
    }
    machine_.Files().WriteFile("C:\\Program Files\\Pictavo 6 Data\\keep.txt", "keep");
    machine_.Files().WriteFile(std::string(kCommonPrograms) + "\\Other\\Other.lnk", "link");
    before_ = machine_.Snapshot();
  }

  std::vector<std::string> Changes(const std::string& installFolder = kFolder,
                                   const std::vector<std::string>& groups = {"Pictavo 6"}) {
    return fuzz::ChangesOutside(before_, machine_.Snapshot(),
                                fuzz::ProductPlaces(machine_, installFolder, groups));
  }

  sim::Machine machine_;
  std::vector<std::string> before_;
};

TEST_F(ChangesOutsideTest, TheProductsOwnPlacesPass) {
  sim::FileSystem& files = machine_.Files();
  sim::Registry& registry = machine_.Registry();
  files.WriteFile(std::string(kFolder) + "\\Samples\\Lake.pvs", "x");
  files.WriteFile(std::string(kCommonPrograms) + "\\Tools\\Capture\\Pictavo 6.lnk", "link");
  files.WriteFile(std::string(kCommonPrograms) + "\\Pictavo 6\\Pictavo 6.lnk", "link");
  files.WriteFile("C:\\Users\\Public\\Desktop\\Pictavo 6.lnk", "link");
  files.WriteFile(
      "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"
      "\\Startup\\Pictavo 6.lnk",
      "link");
  registry.SetString(kHkeyLocalMachine, "SOFTWARE\\Corvantis\\Pictavo 6", "Path", kFolder);
  registry.SetString(kHkeyCurrentUser, "Software\\Corvantis\\Pictavo 6\\Settings", "Zoom", "2");
  registry.SetString(kHkeyLocalMachine,
                     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictavo 6",
                     "DisplayName", "Pictavo 6");
  registry.SetString(kHkeyLocalMachine,
                     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pictv6.exe", "",
                     "x");
  registry.SetString(kHkeyLocalMachine, "SOFTWARE\\Classes\\PV6.Document\\shell", "", "open");
  files.CreateFolders(std::string(kFolder) + "\\Old");
  ASSERT_TRUE(files.MoveFileEx(std::string(kFolder) + "\\Old", std::nullopt,
                               platform::kMoveFileDelayUntilReboot));

  // The install folder as the program may spell it, a nested group whose first level the
  // group creation made, and a group whose final dot the name loses.
  files.WriteFile(std::string(kCommonPrograms) + "\\Pictav ior6\\Pictavo 6.lnk", "link");
  EXPECT_EQ(Changes("c:/program files\\.\\x\\..\\PICTAVO 6.\\",
                    {"Pictavo 6", "Tools/Capture", "Pictav ior6."}),
            std::vector<std::string>{});
}

TEST_F(ChangesOutsideTest, EverythingElseIsReported) {
  sim::FileSystem& files = machine_.Files();
  sim::Registry& registry = machine_.Registry();
  const struct {
    const char* what;
    std::function<void()> change;
    const char* reported;  // the start of the one change reported
  } cases[] = {
      {"a sibling whose name begins like the install folder's",
       [&] { files.Remove("C:\\Program Files\\Pictavo 6 Data\\keep.txt"); },
       "- C:\\Program Files\\Pictavo 6 Data\\keep.txt ["},
      {"the folder above the install folder",
       [&] { files.WriteFile("C:\\Program Files\\Pictv6.exe", "x"); },
       "+ C:\\Program Files\\Pictv6.exe ["},
      {"a shortcut added to another program's group",
       [&] { files.WriteFile(std::string(kCommonPrograms) + "\\Other\\New.lnk", "x"); },
       "+ C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Other\\New.lnk ["},
      {"a file that is no shortcut gone from another program's group",
       [&] {
         files.WriteFile(std::string(kCommonPrograms) + "\\Other\\notes.txt", "x");
         before_ = machine_.Snapshot();
         files.Remove(std::string(kCommonPrograms) + "\\Other\\notes.txt");
       },
       "- C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Other\\notes.txt ["},
      {"a file beside the group, in the Programs folder",
       [&] { files.WriteFile(std::string(kCommonPrograms) + "\\Pictavo 6.lnk", "x"); },
       "+ C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Pictavo 6.lnk ["},
      {"a Desktop folder itself", [&] { files.Remove("C:\\Users\\Public\\Desktop"); },
       "- C:\\Users\\Public\\Desktop\\ ["},
      {"the Windows folder", [&] { files.WriteFile("C:\\WINDOWS\\system32\\a.dll", "x"); },
       "+ C:\\WINDOWS\\system32\\a.dll ["},
      {"another product of the company",
       [&] { registry.CreateKey(kHkeyLocalMachine, "SOFTWARE\\Corvantis\\Capture"); },
       "+ HKLM\\SOFTWARE\\Corvantis\\Capture"},
      {"a value on the company key",
       [&] { registry.SetString(kHkeyLocalMachine, "SOFTWARE\\Corvantis", "x", "x"); },
       "+ HKLM\\SOFTWARE\\Corvantis : x"},
      {"a key whose name begins like the product's",
       [&] { registry.CreateKey(kHkeyLocalMachine, "SOFTWARE\\Corvantis\\Pictavo 6x"); },
       "+ HKLM\\SOFTWARE\\Corvantis\\Pictavo 6x"},
      {"the list of uninstallers",
       [&] {
         registry.DeleteTree(kHkeyLocalMachine,
                             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
       },
       "- HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
      {"a deletion waiting for the next start",
       [&] {
         ASSERT_TRUE(files.MoveFileEx("C:\\Program Files\\Pictavo 6 Data\\keep.txt", std::nullopt,
                                      platform::kMoveFileDelayUntilReboot));
       },
       "+ at the next start: delete C:\\Program Files\\Pictavo 6 Data\\keep.txt"},
      {"a rename out of the install folder at the next start",
       [&] {
         files.WriteFile(std::string(kFolder) + "\\a.dll", "x");
         ASSERT_TRUE(files.MoveFileEx(std::string(kFolder) + "\\a.dll", "C:\\WINDOWS\\a.dll",
                                      platform::kMoveFileDelayUntilReboot));
       },
       "+ at the next start: move C:\\Program Files\\Pictavo 6\\a.dll to C:\\WINDOWS\\a.dll"},
  };
  for (const auto& c : cases) {
    SetUp();
    c.change();
    const std::vector<std::string> changes = Changes();
    ASSERT_EQ(changes.size(), 1u) << c.what << "\n" << ::testing::PrintToString(changes);
    EXPECT_EQ(changes[0].rfind(c.reported, 0), 0u) << c.what << ": " << changes[0];
  }
}

TEST_F(ChangesOutsideTest, AGroupNameReachingOutOfItsProgramsFolderAllowsNothing) {
  machine_.Files().WriteFile("C:\\ProgramData\\Microsoft\\Windows\\Evil\\Pictavo 6.lnk", "x");
  const fuzz::AllowedPlaces places = fuzz::ProductPlaces(machine_, kFolder, {"..\\..\\Evil", ".."});
  EXPECT_TRUE(places.groupFolders.empty());
  EXPECT_TRUE(places.groupLevels.empty());
  EXPECT_TRUE(places.groupShortcuts.empty());
  EXPECT_EQ(fuzz::ChangesOutside(before_, machine_.Snapshot(), places).size(), 2u);
}

// An empty group puts the group's four shortcuts into the Programs folder itself; nothing else
// there becomes the product's.
TEST_F(ChangesOutsideTest, AnEmptyGroupAllowsOnlyTheGroupsShortcutsInTheProgramsFolder) {
  const std::string programs = std::string(kCommonPrograms) + "\\";
  for (const char* name : {"Pictavo 6.lnk", "Pictavo 6 Help.lnk", "Read about Pictavo 6.lnk",
                           "Uninstall Pictavo 6.lnk", "Pictavo 7.lnk", "Sub\\Pictavo 6.lnk"}) {
    machine_.Files().WriteFile(programs + name, "link");
  }
  // A log may name any group of a program menu: its shortcuts and folders may go.
  machine_.Files().Remove(programs + "Other");
  const std::vector<std::string> changes = fuzz::ChangesOutside(
      before_, machine_.Snapshot(), fuzz::ProductPlaces(machine_, kFolder, {"Pictavo 6", ""}));
  ASSERT_EQ(changes.size(), 3u) << ::testing::PrintToString(changes);
  EXPECT_EQ(changes[0].rfind("+ " + programs + "Pictavo 7.lnk [", 0), 0u) << changes[0];
  EXPECT_EQ(changes[1].rfind("+ " + programs + "Sub\\ [", 0), 0u) << changes[1];
  EXPECT_EQ(changes[2].rfind("+ " + programs + "Sub\\Pictavo 6.lnk [", 0), 0u) << changes[2];
}

TEST_F(ChangesOutsideTest, WininitIsTheProductsOnlyWhileItsEntriesStayInItsPlaces) {
  const std::string folder = std::string(kFolder) + "\\";
  machine_.Files().WriteFile(
      "C:\\WINDOWS\\WININIT.INI",
      "[rename]\r\n" + folder + "a.dll=" + folder + "a.dll.new\r\nNUL=" + folder +
          "a.dll.old\r\nnul=C:\\WINDOWS\\system32\\x.dll\r\n"
          "C:\\WINDOWS\\x.dll=" +
          folder + "x.dll\r\n" + folder + "y.dll=C:\\Users\\User\\y.dll\r\n");
  const fuzz::AllowedPlaces places = fuzz::ProductPlaces(machine_, kFolder, {"Pictavo 6"});
  EXPECT_EQ(fuzz::ChangesOutside(before_, machine_.Snapshot(), places), std::vector<std::string>{});
  EXPECT_EQ(fuzz::RestartEntriesOutside(machine_, places),
            (std::vector<std::string>{"nul=C:\\WINDOWS\\system32\\x.dll",
                                      "C:\\WINDOWS\\x.dll=" + folder + "x.dll",
                                      folder + "y.dll=C:\\Users\\User\\y.dll"}));
}

// The program's own runs on realistic inputs pass the check: the fuzzer does not stop on the
// program doing what it should.
TEST(RunScenarioTest, RealisticInstallationsAndRemovalsLeaveNothingOutside) {
  const std::string manifest =
      "File Del: Pictv6Old.dll\r\nFile Copy: Pictv6.exe\r\nFile Copy: setup.exe>PictvUnInst.exe"
      "\r\nFile Copy: *.chm\r\nFile Copy: readme.txt\r\nFile Copy: HomePage.url\r\nMake Dir: "
      "Samples\r\nFile Copy: Samples\\*.pvs\r\nFile Copy: samples.txt>Samples\\About.txt\r\n"
      "File Copy ind: pvcodec.dll\r\nFile Copy ind: pvsys.dll\r\nFile Copy x64: pvcodec.dll"
      ">pvcodec64.dll\r\n";
  const std::string earlierLog = manifest +
                                 "\r\nMade Dir: C:\\ProgramData\\Microsoft\\Windows\\Start "
                                 "Menu\\Programs\\Pictavo 6\r\nShell Link: C:\\ProgramData\\"
                                 "Microsoft\\Windows\\Start Menu\\Programs\\Pictavo 6\\Pictavo "
                                 "6.lnk\r\n";
  const std::string inputs[] = {
      Input('\0', '\0', {manifest}),
      Input('\x3C', '\0', {manifest, "", "File Copy: old.dll\r\n", "a b\\c\xE4.pvs"}),
      Input('\x01', '\0', {manifest, earlierLog}),
      Input('\xCB', '\x04', {manifest, earlierLog, "File Copy: install.log\r\n"}),
      // The running product is set aside, or replaced at the next start through WININIT.INI.
      Input('\x01', '\x01', {manifest, earlierLog}),
      Input('\x01', '\x0A', {manifest, earlierLog}),
  };
  for (const std::string& input : inputs) {
    EXPECT_EQ(fuzz::RunScenario(fuzz::SplitFuzzInput(input)), std::vector<std::string>{})
        << "switches " << ::testing::PrintToString(input.substr(0, 2));
  }
}

}  // namespace
