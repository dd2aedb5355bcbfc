// The interactive installation on the simulated machine: the scripted user walks the wizard
// as a person would, and the tests read what each page showed and what the run left behind.
#include <gtest/gtest.h>

#include <functional>

#include "engine/registration.h"
#include "engine/shell_folders.h"
#include "program_runner.h"
#include "wizard/folder_dlg.h"
#include "wizard/layout.h"

namespace {

using platform::BoxResult;
using platform::Buttons;
using platform::DefaultButton;
using platform::Icon;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using sim::Key;

constexpr char kDist[] = "D:\\Dist";
constexpr char kSetup[] = "D:\\Dist\\setup.exe";
constexpr char kDefaultFolder[] = "C:\\Program Files\\Pictavo 6";
constexpr char kAgreement[] = "LICENSE\r\nYou may use Pictavo.\r\n";
constexpr char kVersionLine[] = "Pictavo ver. 6.30.02 \n";
constexpr char kInstScript[] = "http://www.corvantis.example/pvdx/InstScript.asp?id=42";
constexpr char kInstalledPage[] = "http://www.corvantis.example/pvdx/installed.asp";

const sim::ExpectedBox kCancelQuestion{"Do you really want to cancel Pictavo setup?",
                                       "Pictavo Setup",
                                       {Buttons::YesNo, Icon::Question, DefaultButton::Second}};

sim::ExpectedBox ServiceBox(const std::string& text) {
  return {text, "Pictavo Setup", {Buttons::Ok, Icon::Warning}};
}
const std::string kShortName = "Error: Please enter a valid group name, minimum 3 letters";
const std::string kStartupName =
    "Error: Can not install shortcuts into this group, please select a different name.";

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override { Fresh(); }

  // A new machine with the distribution, for each case of a table.
  void Fresh() {
    owned_ = std::make_unique<sim::Machine>();
    sim::FileSystem& files = M().Files();
    const std::string dist = kDist;
    files.WriteFile(kSetup, "setup");
    files.WriteFile(dist + "\\agreement.txt", kAgreement);
    files.WriteFile(dist + "\\HomePage.url",
                    "[InternetShortcut]\r\nURL=http://www.corvantis.example/?id=42\r\n");
    files.WriteFile(dist + "\\Pictv6.exe", "product");
    SetDistributionVersion(0x0006001E, 0x00020000);
    files.WriteFile(dist + "\\PictvUnInst.log",
                    "File Copy: Pictv6.exe\r\nFile Copy: HomePage.url\r\n"
                    "File Copy: setup.exe>PictvUnInst.exe\r\n");
  }

  void SetDistributionVersion(std::uint32_t high, std::uint32_t low) {
    M().Files().SetFileVersion(std::string(kDist) + "\\Pictv6.exe",
                               platform::FixedFileVersion{high, low});
  }

  sim::User& User() { return M().GetUser(); }
  ProgramRun Run() { return RunProgram(M(), kSetup); }

  // Next on the welcome, agreement and folder pages: the group page is on show.
  void ToGroupPage() {
    for (int i = 0; i < 3; ++i) {
      User().Press(layout::kNext);
    }
  }
  void CancelWizard() {
    User().Press(layout::kCancel);
    User().WillAnswer(kCancelQuestion, BoxResult::Yes);
  }

  // The page on show when the user last acted.
  const sim::SeenWindow& PageAt(std::size_t wait) const {
    const sim::SeenDialog& seen = M().GetUser().Dialogs().at(wait);
    for (const sim::SeenWindow& page : seen.pages) {
      if (page.visible) {
        return page;
      }
    }
    throw sim::ScriptError("no page on show: " + sim::Describe(seen));
  }
  std::string TextAt(std::size_t wait, int id) const {
    const sim::SeenControl* control = PageAt(wait).Control(id);
    return control ? control->text : "<none>";
  }
  std::size_t Waits() const { return M().GetUser().Dialogs().size(); }

  // The last wait at which this page was on show.
  std::size_t Last(unsigned page) const {
    for (std::size_t wait = Waits(); wait-- > 0;) {
      if (PageAt(wait).layout == page) {
        return wait;
      }
    }
    throw sim::ScriptError("the page was never on show");
  }

  sim::Machine& M() const { return *owned_; }

  std::unique_ptr<sim::Machine> owned_;
};

// What the frame shows at a wait for the user.
struct FrameRow {
  unsigned page;
  const char* caption;
  bool backVisible;
  const char* next;
  const char* cancel;
  bool pictureVisible;
};

TEST_F(WizardTest, WalkForwardAndBackShowsEachPageWithItsLabelsAndInstalls) {
  const std::vector<std::string> pressed = {"next", "back", "next", "next",  "next", "next",
                                            "back", "back", "next", "enter", "next", "finish"};
  for (const std::string& step : pressed) {
    if (step == "back") {
      User().Press(layout::kBack);
    } else if (step == "enter") {
      User().PressKey(Key::Enter);
    } else {
      User().Press(layout::kNext);
    }
  }
  const ProgramRun run = Run();
  EXPECT_EQ(run.exitCode, 0u);

  const FrameRow rows[] = {
      {layout::kWelcomePage, "Pictavo Setup", false, "&Next >", "Cancel", true},
      {layout::kAgreementPage, "Please accept the License Agreement", true, "Yes", "No", false},
      {layout::kWelcomePage, "Pictavo Setup", false, "&Next >", "Cancel", true},
      {layout::kAgreementPage, "Please accept the License Agreement", true, "Yes", "No", false},
      {layout::kFolderPage, "Pictavo Setup", true, "&Next >", "Cancel", true},
      {layout::kGroupPage, "Pictavo Setup", true, "&Next >", "Cancel", true},
      {layout::kReadyPage, "Pictavo Setup", true, "&Next >", "Cancel", true},
      {layout::kGroupPage, "Pictavo Setup", true, "&Next >", "Cancel", true},
      {layout::kFolderPage, "Pictavo Setup", true, "&Next >", "Cancel", true},
      {layout::kGroupPage, "Pictavo Setup", true, "&Next >", "Cancel", true},
      {layout::kReadyPage, "Pictavo Setup", true, "&Next >", "Cancel", true},
  };
  const std::vector<sim::SeenDialog>& seen = User().Dialogs();
  ASSERT_EQ(seen.size(), std::size(rows) + 2) << "the busy frame and the closing page follow";
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(sim::Describe(seen[i]));
    const FrameRow& row = rows[i];
    const sim::SeenWindow& frame = seen[i].frame;
    EXPECT_EQ(PageAt(i).layout, row.page);
    EXPECT_EQ(seen[i].pages.size(), 1u) << "one page object at a time";
    EXPECT_EQ(frame.text, row.caption);
    EXPECT_EQ(frame.Control(layout::kBack)->visible, row.backVisible);
    EXPECT_EQ(frame.Control(layout::kNext)->text, row.next);
    EXPECT_EQ(frame.Control(layout::kCancel)->text, row.cancel);
    EXPECT_EQ(frame.Control(layout::kSidePicture)->visible, row.pictureVisible);
    EXPECT_TRUE(frame.Control(layout::kNext)->enabled && frame.Control(layout::kCancel)->enabled);
    // Pages sit 4 pixels right of the picture, level with its top; the wider agreement page
    // covers the picture's place at 4, 4.
    const platform::Rect picture = frame.Control(layout::kSidePicture)->rect;
    const platform::Rect page = PageAt(i).rect;
    if (row.page == layout::kAgreementPage) {
      EXPECT_EQ(std::make_pair(page.left, page.top), std::make_pair(4, 4));
    } else {
      EXPECT_EQ(std::make_pair(page.left, page.top),
                std::make_pair(picture.right + 4, picture.top));
      EXPECT_TRUE(frame.Control(layout::kNext)->focused);
    }
  }
  EXPECT_EQ(TextAt(0, layout::kVersionText).substr(0, std::size(kVersionLine) - 1), kVersionLine);
  EXPECT_EQ(TextAt(1, layout::kAgreementText), kAgreement);

  const sim::SeenDialog& busy = seen[std::size(rows)];
  EXPECT_EQ(busy.moment, "busy");
  EXPECT_EQ(busy.cursor, platform::Cursor::Wait);
  for (int button : {layout::kBack, layout::kNext, layout::kCancel}) {
    EXPECT_FALSE(busy.frame.Control(button)->enabled) << button;
    EXPECT_TRUE(busy.frame.Control(button)->visible) << button;
  }
  const sim::SeenWindow& installing = PageAt(std::size(rows));
  EXPECT_TRUE(installing.Control(layout::kInstallingText)->visible);
  EXPECT_FALSE(installing.Control(layout::kReadyText)->visible);
  EXPECT_FALSE(installing.Control(layout::kReadyHint)->visible);
  EXPECT_FALSE(installing.Control(layout::kRunProduct)->visible);
  EXPECT_TRUE(installing.Control(layout::kInstallProgress)->visible);
  EXPECT_EQ(installing.Control(layout::kInstallProgress)->progress.position, 0);

  const std::size_t closing = std::size(rows) + 1;
  const sim::SeenDialog& finished = seen[closing];
  EXPECT_EQ(finished.cursor, platform::Cursor::Arrow);
  EXPECT_EQ(finished.frame.Control(layout::kNext)->text, "&Finish >");
  EXPECT_TRUE(finished.frame.Control(layout::kNext)->enabled);
  EXPECT_TRUE(finished.frame.Control(layout::kNext)->focused);
  EXPECT_FALSE(finished.frame.Control(layout::kBack)->enabled);
  EXPECT_FALSE(finished.frame.Control(layout::kCancel)->enabled);
  EXPECT_EQ(TextAt(closing, layout::kReadyText), "Pictavo 6 has been successfully installed.");
  EXPECT_EQ(TextAt(closing, layout::kReadyHint),
            "Press the Finish button to exit this installation.");
  EXPECT_FALSE(PageAt(closing).Control(layout::kInstallingText)->visible);
  const sim::SeenControl* bar = PageAt(closing).Control(layout::kInstallProgress);
  EXPECT_FALSE(bar->visible);
  EXPECT_EQ(bar->progress, (platform::ProgressState{3, 3})) << "one step for each of 3 files";
  const sim::SeenControl* runProduct = PageAt(closing).Control(layout::kRunProduct);
  EXPECT_TRUE(runProduct->visible && !runProduct->checked);

  EXPECT_TRUE(M().Files().Exists(std::string(kDefaultFolder) + "\\Pictv6.exe"));
  EXPECT_FALSE(run.options.AllUsers);  // a wizard installs for the current user unless told
  EXPECT_FALSE(run.options.RunAfter);
  EXPECT_TRUE(M().Processes().Created().empty());
  EXPECT_EQ(M().Shell().OpenedFiles(), std::vector<std::string>{kInstScript});
  EXPECT_TRUE(User().Boxes().empty());
}

TEST_F(WizardTest, ProgressBarRangeIsTheFilesTheManifestCopiesAndItEndsFull) {
  constexpr char kSampleManifest[] =
      "File Copy: Pictv6.exe\r\nFile Copy: HomePage.url\r\n"
      "File Copy: setup.exe>PictvUnInst.exe\r\n";
  struct Case {
    const char* name;
    std::function<void(sim::Machine&)> lay;
    std::string manifest;
    int files;
  };
  const std::string samples = std::string(kDist) + "\\Samples\\";
  const std::string extra =
      "Make Dir: Samples\r\nFile Copy: Samples\\*.dat\r\nFile Copy x64: Pictv6.exe\r\n"
      "File Copy: missing.txt\r\nFile Copy: gone.txt>there.txt\r\n";
  const Case cases[] = {
      {"a pattern; an x64 record, missing sources",
       [&](sim::Machine& machine) {
         for (const char* name : {"one.dat", "two.dat", "three.dat"}) {
           machine.Files().WriteFile(samples + name, name);
         }
       },
       kSampleManifest + extra, 6},
      {"a copy that fails",
       [](sim::Machine& machine) {
         machine.Faults().Set(sim::Fault{.error = platform::kErrorAccessDenied,
                                         .call = "CopyFileA",
                                         .object = std::string(kDefaultFolder) + "\\HomePage.url",
                                         .lasting = true});
       },
       kSampleManifest, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh();
    M().Files().WriteFile(std::string(kDist) + "\\PictvUnInst.log", c.manifest);
    c.lay(M());
    for (int i = 0; i < 6; ++i) {
      User().Press(layout::kNext);
    }
    Run();
    const sim::SeenControl* bar = PageAt(Waits() - 1).Control(layout::kInstallProgress);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->progress, (platform::ProgressState{c.files, c.files}));
  }
}

TEST_F(WizardTest, EveryWayToCancelAsksAndOnlyYesEndsWithNothingChanged) {
  const std::vector<std::string> before = M().Snapshot();
  User().Press(layout::kNext);
  User().Press(layout::kCancel);  // "No" on the agreement page
  User().WillAnswer(kCancelQuestion, BoxResult::No);
  User().PressKey(Key::Escape);
  User().WillAnswer(kCancelQuestion, BoxResult::No);
  User().Press(layout::kNext);
  User().CloseBox();
  User().WillAnswer(kCancelQuestion, BoxResult::Yes);

  const ProgramRun run = Run();
  EXPECT_EQ(run.exitCode, 1602u);  // cancelled by the user
  EXPECT_EQ(PageAt(3).layout, layout::kAgreementPage) << "the page stays after No";
  EXPECT_EQ(PageAt(4).layout, layout::kFolderPage);
  EXPECT_EQ(User().Boxes().size(), 3u);
  for (const sim::ShownBox& box : User().Boxes()) {
    EXPECT_NE(box.owner, platform::kNoWindow) << "owned by the frame";
  }
  EXPECT_TRUE(M().Shell().OpenedFiles().empty());
  EXPECT_EQ(M().Snapshot(), before);
}

TEST_F(WizardTest, AfterTheInstallationOnlyFinishEndsTheWizard) {
  // Planted on the way of the product's unquoted path: it must not be the one that starts.
  M().Files().WriteFile("C:\\Program Files\\Pictavo.exe", "MZ");
  for (int i = 0; i < 5; ++i) {
    User().Press(layout::kNext);
  }
  // No question follows either: the script would fail on an unforeseen box.
  User().PressKey(Key::Escape);
  User().CloseBox();
  User().Tick(layout::kRunProduct);
  User().PressKey(Key::Enter);

  const ProgramRun run = Run();
  EXPECT_TRUE(run.options.RunAfter);
  ASSERT_EQ(M().Processes().Created().size(), 1u);
  EXPECT_EQ(M().Processes().Created()[0].commandLine, std::string(kDefaultFolder) + "\\Pictv6.exe");
  EXPECT_EQ(M().Processes().Created()[0].process->Spec().modulePath,
            std::string(kDefaultFolder) + "\\Pictv6.exe");
  EXPECT_TRUE(User().Boxes().empty());
}

struct DesktopCase {
  const char* name;
  bool desktopShell;
  const char* refused;  // a file the desktop's shell refuses; nullptr: none
  std::vector<sim::DesktopOpen> throughDesktop;
  std::vector<std::string> openedBySetup;
  std::vector<std::string> startedBySetup;
};

TEST_F(WizardTest, TheDesktopOpensThePageAndStartsTheProductWhereItAnswers) {
  const std::string product = std::string(kDefaultFolder) + "\\Pictv6.exe";
  const DesktopCase cases[] = {
      {"desktop", true, nullptr, {{0, kInstScript, ""}, {0, product, kDefaultFolder}}, {}, {}},
      {"no desktop", false, nullptr, {}, {kInstScript}, {product}},
      {"product refused",
       true,
       "C:\\Program Files\\Pictavo 6\\Pictv6.exe",
       {{0, kInstScript, ""}},
       {},
       {product}},
      {"page refused", true, kInstScript, {{0, product, kDefaultFolder}}, {kInstScript}, {}},
  };
  for (const DesktopCase& test : cases) {
    SCOPED_TRACE(test.name);
    Fresh();
    M().Shell().SetDesktopShell(test.desktopShell);
    if (test.refused != nullptr) {
      M().Faults().Set(sim::Fault{.call = "IShellDispatch2::ShellExecute", .object = test.refused});
    }
    for (int i = 0; i < 5; ++i) {
      User().Press(layout::kNext);
    }
    User().Tick(layout::kRunProduct);
    User().Press(layout::kNext);

    EXPECT_EQ(Run().exitCode, 0u);
    std::vector<sim::DesktopOpen> throughDesktop = test.throughDesktop;
    for (sim::DesktopOpen& open : throughDesktop) {
      open.processId = M().Processes().All().front()->Id();
    }
    EXPECT_EQ(M().Shell().DesktopOpens(), throughDesktop);
    EXPECT_EQ(M().Shell().OpenedFiles(), test.openedBySetup);
    std::vector<std::string> started;
    for (const sim::CreatedProcess& created : M().Processes().Created()) {
      started.push_back(created.commandLine);
    }
    EXPECT_EQ(started, test.startedBySetup);
  }
}

struct GroupCase {
  const char* typed;
  const char* refusal;  // nullptr: accepted
  const char* stored;
};

TEST_F(WizardTest, GroupPageRefusesShortStartupAndOutsideNamesByNextAndByBack) {
  const GroupCase cases[] = {
      {"  ab\t", kShortName.c_str(), nullptr},
      {"Startup", kStartupName.c_str(), nullptr},
      {"STARTUP ", kStartupName.c_str(), nullptr},
      {"..\\Desktop", kStartupName.c_str(), nullptr},
      {"C:\\Temp", kStartupName.c_str(), nullptr},
      {"\\Tools", kStartupName.c_str(), nullptr},
      // The name as the shortcuts will use it: these are all the Startup folder ...
      {"Startup\\", kStartupName.c_str(), nullptr},
      {"Startup/", kStartupName.c_str(), nullptr},
      {"Startup.", kStartupName.c_str(), nullptr},
      {".\\Startup", kStartupName.c_str(), nullptr},
      {"Startup\\.", kStartupName.c_str(), nullptr},
      {"Tools\\..\\Startup", kStartupName.c_str(), nullptr},
      // ... and these the program list itself, or above it.
      {"...", kStartupName.c_str(), nullptr},
      {". .\\.", kStartupName.c_str(), nullptr},
      {"Tools\\..\\..\\x", kStartupName.c_str(), nullptr},
      {"  abc  ", nullptr, "abc"},
      {"Startup Tools", nullptr, "Startup Tools"},
      {"Tools\\Capture", nullptr, "Tools\\Capture"},
  };
  for (const GroupCase& test : cases) {
    SCOPED_TRACE(test.typed);
    Fresh();
    ToGroupPage();
    User().Type(layout::kGroupName, test.typed);
    User().Tick(layout::kAutostart);
    if (test.refusal) {
      User().Press(layout::kNext);
      User().WillAnswer(ServiceBox(test.refusal), BoxResult::Ok);
      User().Press(layout::kBack);
      User().WillAnswer(ServiceBox(test.refusal), BoxResult::Ok);
      CancelWizard();
      const ProgramRun run = Run();
      EXPECT_EQ(PageAt(Waits() - 1).layout, layout::kGroupPage);
      EXPECT_EQ(TextAt(Waits() - 1, layout::kGroupName), test.typed) << "kept as typed";
      EXPECT_EQ(run.options.GroupName, "Pictavo 6");
      EXPECT_FALSE(run.options.Autostart);
    } else {
      User().Press(layout::kNext);
      User().Press(layout::kBack);  // the group page again shows what was stored
      User().Press(layout::kNext);
      User().Press(layout::kNext);
      User().Press(layout::kNext);
      const ProgramRun run = Run();
      const std::size_t back = Last(layout::kGroupPage);
      EXPECT_EQ(TextAt(back, layout::kGroupName), test.stored);
      EXPECT_TRUE(PageAt(back).Control(layout::kAutostart)->checked);
      EXPECT_EQ(run.options.GroupName, test.stored);
      EXPECT_TRUE(run.options.Autostart);
      EXPECT_TRUE(run.options.DesktopIcon);
    }
  }
}

TEST_F(WizardTest, GroupPageComparesWithTheStartupFolderNamesTheRegistryGives) {
  // A translated all-users Startup folder, and a user whose Startup folder is missing.
  M().Registry().SetString(kHkeyLocalMachine, kShellFoldersKey, "Common Startup",
                           "C:\\ProgramData\\Menu\\Programme\\Autostart");
  M().Registry().SetString(kHkeyCurrentUser, kShellFoldersKey, "Startup", "");
  ToGroupPage();
  User().Type(layout::kGroupName, "autostart");
  User().Press(layout::kNext);
  User().WillAnswer(ServiceBox(kStartupName), BoxResult::Ok);
  User().Type(layout::kGroupName, "Startup");
  User().Press(layout::kNext);
  CancelWizard();
  Run();
  EXPECT_EQ(PageAt(Waits() - 1).layout, layout::kReadyPage);
}

struct BrowseCase {
  const char* name;
  std::function<void(sim::Machine&)> lay;
  std::function<void(sim::User&)> answer;
  std::optional<std::string> box;
  std::string destination;
};

TEST_F(WizardTest, BrowsingChoosesTheDestinationByWhatTheFolderHolds) {
  const std::string oldVersion =
      "Pictavo ver. 6 can not be installed into the same folder where the old version 4 or 5 is "
      "installed. Please select a different folder.";
  const std::string invalid =
      "You have entered and invalid folder name. Please correct.\nIf you want to create a new "
      "folder, select its parent folder in the list and click \"Make New Foilder\" button.";
  const std::vector<BrowseCase> cases = {
      {"empty folder", [](sim::Machine& m) { m.Files().CreateFolders("E:\\Empty"); },
       [](sim::User& u) { u.BrowseChoose("E:\\Empty"); }, std::nullopt, "E:\\Empty"},
      {"folder with files", [](sim::Machine& m) { m.Files().WriteFile("E:\\Data\\x.txt", "x"); },
       [](sim::User& u) { u.BrowseChoose("E:\\Data"); }, std::nullopt, "E:\\Data\\Pictavo 6"},
      {"this version there",
       [](sim::Machine& m) { m.Files().WriteFile("E:\\P6\\Pictv6.exe", "6"); },
       [](sim::User& u) { u.BrowseChoose("E:\\P6"); }, std::nullopt, "E:\\P6"},
      {"drive root", [](sim::Machine& m) { m.Files().WriteFile("E:\\x.txt", "x"); },
       [](sim::User& u) { u.BrowseChoose("E:\\"); }, std::nullopt, "E:\\\\Pictavo 6"},
      {"version 5 there", [](sim::Machine& m) { m.Files().WriteFile("E:\\P5\\Pictv5.exe", "5"); },
       [](sim::User& u) { u.BrowseChoose("E:\\P5"); }, oldVersion, kDefaultFolder},
      {"version 4 there", [](sim::Machine& m) { m.Files().WriteFile("E:\\P4\\Pictv.exe", "4"); },
       [](sim::User& u) { u.BrowseChoose("E:\\P4"); }, oldVersion, kDefaultFolder},
      {"new folder", [](sim::Machine& m) { m.Files().CreateFolders("E:\\Apps"); },
       [](sim::User& u) { u.BrowseMakeFolder("E:\\Apps\\Mine"); }, std::nullopt, "E:\\Apps\\Mine"},
      {"cancel", [](sim::Machine&) {}, [](sim::User& u) { u.BrowseCancel(); }, std::nullopt,
       kDefaultFolder},
      {"typed name", [](sim::Machine&) {},
       [&](sim::User& u) {
         u.BrowseTypeInvalid("nowhere");
         u.WillAnswer(ServiceBox(invalid), BoxResult::Ok);
         u.BrowseCancel();
       },
       std::nullopt, kDefaultFolder},
  };
  for (const BrowseCase& test : cases) {
    SCOPED_TRACE(test.name);
    Fresh();
    test.lay(M());
    User().Press(layout::kNext);
    User().Press(layout::kNext);
    User().Press(layout::kBrowse);
    test.answer(User());
    if (test.box) {
      User().WillAnswer(ServiceBox(*test.box), BoxResult::Ok);
    }
    User().Do([&] {
      // The folders made for the browser and in it go again; the user's empty one stays.
      EXPECT_FALSE(M().Files().Exists(kDefaultFolder));
      EXPECT_EQ(M().Files().Exists("E:\\Empty"), std::string(test.name) == "empty folder");
      EXPECT_FALSE(M().Files().Exists("E:\\Apps\\Mine"));
    });
    CancelWizard();
    Run();
    EXPECT_EQ(TextAt(Waits() - 1, layout::kDestination), test.destination);
    ASSERT_EQ(User().Browsers().size(), 1u);
    const sim::ShownBrowser& browser = User().Browsers()[0];
    EXPECT_EQ(browser.title, "Select the folder where where Pictavo should be installed.");
    EXPECT_EQ(browser.flags, 0x71u);
    EXPECT_EQ(browser.selected, kDefaultFolder);
    EXPECT_NE(browser.owner, platform::kNoWindow);
  }
}

TEST_F(WizardTest, BrowsingToAJunctionNeverTakesItAway) {
  // Removing a junction unlinks it however full the folder it leads to is; an empty one reads
  // as a new folder, a full one gets the product's own subfolder.
  for (const bool empty : {true, false}) {
    SCOPED_TRACE(empty ? "leads to an empty folder" : "leads to a full folder");
    Fresh();
    M().Files().CreateFolders("E:\\Linked");
    if (!empty) {
      M().Files().WriteFile("E:\\Linked\\kept.txt", "the user's");
    }
    M().Files().SetAttributes("E:\\Linked", platform::kAttributeReparsePoint);
    User().Press(layout::kNext);
    User().Press(layout::kNext);
    User().Press(layout::kBrowse);
    User().BrowseChoose("E:\\Linked");
    CancelWizard();
    Run();
    EXPECT_TRUE(M().Files().Exists("E:\\Linked"));
    EXPECT_EQ(M().Files().Exists("E:\\Linked\\kept.txt"), !empty);
    EXPECT_EQ(TextAt(Waits() - 1, layout::kDestination),
              empty ? "E:\\Linked" : "E:\\Linked\\Pictavo 6");
  }
}

TEST_F(WizardTest, BrowsingLeavesAnEmptyFolderTheUserHadAlone) {
  M().Files().CreateFolders(kDefaultFolder);
  User().Press(layout::kNext);
  User().Press(layout::kNext);
  User().Press(layout::kBrowse);
  User().BrowseCancel();
  CancelWizard();
  Run();
  EXPECT_TRUE(M().Files().Exists(kDefaultFolder));
}

TEST_F(WizardTest, InstallForChoiceIsStoredByBackAsByNext) {
  User().Press(layout::kNext);
  User().Press(layout::kNext);
  User().Tick(layout::kAllUsers);
  User().Press(layout::kBack);
  User().Press(layout::kNext);
  for (int i = 0; i < 4; ++i) {
    User().Press(layout::kNext);
  }
  const ProgramRun run = Run();
  const std::size_t again = Last(layout::kFolderPage);  // after Back and Next
  EXPECT_TRUE(PageAt(again).Control(layout::kAllUsers)->checked);
  EXPECT_FALSE(PageAt(again).Control(layout::kCurrentUserOnly)->checked);
  EXPECT_TRUE(run.options.AllUsers);
  EXPECT_EQ(M().Registry().GetString(kHkeyLocalMachine, registration::kProductKey, "AllUsers"),
            "B");
}

struct RepeatCase {
  const char* name;
  std::uint32_t installedHigh, installedLow;
  const char* question;  // the first words of the version question; nullptr: none
  std::vector<std::string> opened;
};

TEST_F(WizardTest, ARunOverAnInstallationStartsWithTheStoredChoicesAndOpensThePageForUpgrades) {
  const RepeatCase cases[] = {
      {"upgrade", 0x0006001E, 0x00010000, nullptr, {kInstalledPage}},
      {"same version", 0x0006001E, 0x00020000, "Pictavo ver. 6.30.02.00 is already", {}},
  };
  for (const RepeatCase& test : cases) {
    SCOPED_TRACE(test.name);
    Fresh();
    SetDistributionVersion(test.installedHigh, test.installedLow);
    M().Files().CreateFolders("E:\\Apps");
    ASSERT_EQ(RunProgram(M(), kSetup, {"-s", "-instdir", "E:\\Apps"}).exitCode, 0u);
    SetDistributionVersion(0x0006001E, 0x00020000);
    M().Registry().SetString(kHkeyLocalMachine, registration::kProductKey, "AllUsers", "A");

    if (test.question) {
      User().WillAnswer(BoxResult::Yes);
    }
    for (int i = 0; i < 6; ++i) {
      User().Press(layout::kNext);
    }
    const ProgramRun run = Run();
    EXPECT_EQ(run.exitCode, 0u);
    if (test.question) {
      EXPECT_EQ(User().Boxes().at(0).text.rfind(test.question, 0), 0u);
    }
    EXPECT_EQ(TextAt(2, layout::kDestination), "E:\\Apps");
    EXPECT_EQ(TextAt(2, layout::kFolderHint),
              "This folder already contains a previous copy of Pictavo 6. To upgrade or "
              "re-install that copy, please do not change the destination folder.");
    EXPECT_TRUE(PageAt(2).Control(layout::kCurrentUserOnly)->checked);
    EXPECT_FALSE(run.options.AllUsers);
    EXPECT_EQ(M().Shell().OpenedFiles(), test.opened);
  }
}

TEST_F(WizardTest, WelcomeLineShowsBetaForARevisionAndAMissingAgreementCannotBeAccepted) {
  SetDistributionVersion(0x00060005, 0x00070003);
  M().Files().Remove(std::string(kDist) + "\\agreement.txt");
  User().Press(layout::kNext);
  User().PressKey(Key::Enter);  // Yes is disabled: Enter does not accept either
  CancelWizard();
  EXPECT_EQ(Run().exitCode, 1602u);
  EXPECT_EQ(TextAt(0, layout::kVersionText).substr(0, 27), "Pictavo ver. 6.05.07 Beta 3");
  EXPECT_EQ(TextAt(1, layout::kAgreementText),
            "The license agreement (agreement.txt) is missing from the setup folder D:\\Dist. "
            "Pictavo cannot be installed without it.");
  const sim::SeenDialog& agreement = User().Dialogs().at(1);
  EXPECT_FALSE(agreement.frame.Control(layout::kNext)->enabled);
  EXPECT_EQ(PageAt(2).layout, layout::kAgreementPage) << "the page stays";
}

TEST_F(WizardTest, AgreementComesFromTheDistributionWhereverTheSetupIsStartedFrom) {
  M().Files().WriteFile("E:\\Elsewhere\\agreement.txt", "an agreement of something else");
  User().Press(layout::kNext);
  CancelWizard();
  sim::Process& setup = M().Processes().Start({kSetup, {}, {}, "E:\\Elsewhere"});
  SetSetupProgram(M());
  setup.Run([](platform::Platform& platform) { return SetupProgram(platform).Run(); });
  EXPECT_EQ(TextAt(1, layout::kAgreementText), kAgreement);
}

TEST(CountFolderEntriesTest, CountsFilesAndFoldersHiddenOnesTooButNotTheDots) {
  sim::Machine machine;
  machine.Files().WriteFile("E:\\F\\a.txt", "a");
  machine.Files().WriteFile("E:\\F\\Sub\\b.txt", "b");
  machine.Files().WriteFile("E:\\F\\hidden", "h");
  machine.Files().SetAttributes("E:\\F\\hidden", platform::kAttributeHidden);
  machine.Files().CreateFolders("E:\\Empty");
  platform::FileSystem& files = machine.Processes().Start({kSetup, {}, {}}).GetPlatform().files;
  EXPECT_EQ(CountFolderEntries(files, "E:\\F"), 3);
  EXPECT_EQ(CountFolderEntries(files, "E:\\Empty"), 0);
  EXPECT_EQ(CountFolderEntries(files, "E:\\Missing"), 0);
}

}  // namespace
