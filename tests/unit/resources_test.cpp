#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "resources/catalogue.h"
#include "resources/resource_tables.h"

namespace resources {
namespace {

// Win32 style bits, spelled out here so that the test does not share the generator's table.
constexpr std::uint32_t kPopup = 0x80000000, kChild = 0x40000000, kVisible = 0x10000000,
                        kClipSiblings = 0x04000000, kClipChildren = 0x02000000,
                        kCaption = 0x00C00000, kBorder = 0x00800000, kVScroll = 0x00200000,
                        kSysMenu = 0x00080000, kGroup = 0x00020000, kTabStop = 0x00010000,
                        kSetFont = 0x40, kModalFrame = 0x80, kControl = 0x400,
                        kRealSizeControl = 0x40, kExControlParent = 0x00010000;
constexpr std::uint32_t kButtonType = 0xF, kDefPushButton = 0x1, kAutoCheckBox = 0x3,
                        kGroupBox = 0x7, kAutoRadio = 0x9;
constexpr std::uint32_t kStaticType = 0x1F, kBitmap = 0xE, kEtchedHorz = 0x10, kSunken = 0x1000;
constexpr std::uint32_t kMultiLine = 0x4, kReadOnly = 0x800;

std::string Text(std::uint16_t id) {
  const StringEntry* entry = FindString(id);
  return entry ? std::string(entry->text) : "<missing " + std::to_string(id) + ">";
}

const ControlLayout& Control(std::uint16_t dialog_id, int control_id) {
  const DialogLayout* dialog = FindDialog(dialog_id);
  if (dialog) {
    for (const ControlLayout& control : dialog->controls) {
      if (control.id == control_id)
        return control;
    }
  }
  ADD_FAILURE() << "no control " << control_id << " in dialog " << dialog_id;
  static const ControlLayout missing{};
  return missing;
}

TEST(MessageCatalogue, HoldsTheCatalogueAndTheOutcomeTextsInAscendingOrder) {
  std::vector<std::uint16_t> ids;
  for (const StringEntry& entry : StringTable())
    ids.push_back(entry.id);
  const std::vector<std::uint16_t> expected{
      1,  2,  3,  4,  6,   7,   8,   9,   10,  11,  12,  13,  14,  15,  16,  17,  18,  19,   20,
      21, 22, 23, 24, 101, 102, 104, 200, 201, 202, 203, 204, 205, 206, 207, 208, 220, 57344};
  EXPECT_EQ(ids, expected);
  for (const StringEntry& entry : StringTable())
    EXPECT_FALSE(entry.text.empty()) << entry.id;
}

TEST(MessageCatalogue, EveryNumberTheLogicNamesIsPresent) {
  using namespace catalogue;
  for (catalogue::Text id : {kOneInstanceOpen,
                             kSetupCaption,
                             kSetupAborted,
                             kInstancesOpen,
                             kRemovalQuestion,
                             kAgreementTitle,
                             kFinishLabel,
                             kInstalled,
                             kPressFinish,
                             kCancelQuestion,
                             kBrowseInstruction,
                             kInvalidFolder,
                             kOldVersionFolder,
                             kProductName,
                             kOlderVersion,
                             kSameVersion,
                             kDamagedSetup,
                             kPreviousCopyHere,
                             kUninstalled,
                             kYes,
                             kNo,
                             kGroupNameTooShort,
                             kGroupIsStartup,
                             kHelpShortcut,
                             kReadmeShortcut,
                             kUninstallShortcut,
                             kSwitchHelp,
                             kAppTitle}) {
    EXPECT_NE(FindString(static_cast<std::uint16_t>(id)), nullptr) << id;
  }
}

TEST(MessageCatalogue, LookUpMissesNumbersOutsideTheCatalogue) {
  for (std::uint16_t id : {0, 5, 25, 100, 103, 105, 57343, 57345, 65535})
    EXPECT_EQ(FindString(id), nullptr) << id;
}

TEST(MessageCatalogue, TextsKeepQuotesLineFeedsAndTyposExactly) {
  EXPECT_EQ(
      Text(1),
      "1 instance of Pictavo is currently opened. If you click \"Yes\" button, SETUP will try "
      "to close it without saving any editing work you may have done. \n\nContinue "
      "installation?");
  EXPECT_EQ(Text(4),
            "%d instances of Pictavo are currently opened. ff you click \"Yes\" button, SETUP will "
            "try to close them without saving any editing work you may have done. \n\nContinue "
            "installation?");
  EXPECT_EQ(Text(6), "This will completely uninstall Pictavo 6.\nDo you want to continue?");
  EXPECT_EQ(Text(8), "&Finish >");
  EXPECT_EQ(Text(12), "Select the folder where where Pictavo should be installed.");
  EXPECT_EQ(Text(13),
            "You have entered and invalid folder name. Please correct.\nIf you want to create a "
            "new folder, select its parent folder in the list and click \"Make New Foilder\" "
            "button.");
  EXPECT_EQ(Text(16),
            "Pictavo v. %d.%02d.%02d.%02d is already installed on this machine. You are trying to "
            "install an older version %d.%02d.%02d.%02d .\n\nDo you still want to continue?");
  EXPECT_EQ(
      Text(17),
      "Pictavo ver. %d.%02d.%02d.%02d is already installed on this machine.\n\nWould you like "
      "to run this setup again to select different options or repair the files?");
  EXPECT_EQ(Text(18),
            "This setup files are damaged, installation aborted.\n\nPlease download the product "
            "again from http://www.corvantis.example and re-try the setup.");
  EXPECT_EQ(Text(15), "Pictavo 6");
  EXPECT_EQ(Text(2), "Pictavo Setup");
  EXPECT_EQ(Text(57344), "Pictavo Setup");
}

TEST(MessageCatalogue, HelpTextKeepsItsLinesHasNoTabsAndEndsWithoutALineFeed) {
  const std::string help = Text(catalogue::kSwitchHelp);
  EXPECT_EQ(help.rfind("Usage: setup.exe [switches]\nRemoval: PictvUnInst.exe [switches]\n", 0),
            0u);
  EXPECT_NE(help.find("\n\n-install: install under any name"), std::string::npos);
  EXPECT_NE(help.find("\n-instdir FOLDER: "), std::string::npos);
  EXPECT_NE(help.find("\n\nExit codes:\n0: "), std::string::npos);
  EXPECT_EQ(help.find('\\'), std::string::npos);  // every escape resolved
  EXPECT_EQ(help.find('\t'), std::string::npos);
  EXPECT_NE(help.back(), '\n');
}

TEST(MessageCatalogue, StartUpTextsFitTheirFixedBuffers) {
  EXPECT_LT(Text(catalogue::kSetupCaption).size(), catalogue::kCaptionCapacity);
  for (std::uint16_t id : {1, 3, 4, 6})
    EXPECT_LT(Text(id).size(), catalogue::kMessageCapacity) << id;
}

TEST(MessageCatalogue, FormattedEntriesTakeTheirPlaceholdersInOrder) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, Text(4).c_str(), 2);
  EXPECT_EQ(std::string(buffer).substr(0, 13), "2 instances o");
  std::snprintf(buffer, sizeof buffer, Text(16).c_str(), 6, 1, 2, 3, 6, 0, 5, 0);
  EXPECT_NE(std::string(buffer).find("Pictavo v. 6.01.02.03 is already installed"),
            std::string::npos);
  EXPECT_NE(std::string(buffer).find("older version 6.00.05.00 .\n\nDo you"), std::string::npos);
}

struct ExpectedControl {
  int id;
  std::string_view windowClass;
  std::string_view text;  // "*": checked elsewhere
  std::int16_t x, y, cx, cy;
};

void ExpectControls(std::uint16_t dialog_id, const std::vector<ExpectedControl>& expected) {
  SCOPED_TRACE("dialog " + std::to_string(dialog_id));
  const DialogLayout* dialog = FindDialog(dialog_id);
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(dialog->controls.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const ControlLayout& actual = dialog->controls[i];
    const ExpectedControl& e = expected[i];
    SCOPED_TRACE("control " + std::to_string(i) + " (" + std::to_string(e.id) + ")");
    EXPECT_EQ(actual.id, e.id);
    EXPECT_EQ(actual.windowClass, e.windowClass);
    if (e.text != "*") {
      EXPECT_EQ(actual.text, e.text);
    }
    EXPECT_EQ(std::vector<int>({actual.x, actual.y, actual.cx, actual.cy}),
              std::vector<int>({e.x, e.y, e.cx, e.cy}));
  }
}

TEST(DialogLayouts, SixLayoutsWithTheirSizesAndFont) {
  const std::vector<std::pair<std::uint16_t, std::pair<int, int>>> expected{
      {103, {318, 204}}, {104, {313, 174}}, {105, {217, 161}},
      {106, {217, 163}}, {107, {217, 163}}, {108, {217, 163}}};
  ASSERT_EQ(DialogLayouts().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const DialogLayout& dialog = DialogLayouts()[i];
    EXPECT_EQ(dialog.id, expected[i].first);
    EXPECT_EQ(std::make_pair(int{dialog.cx}, int{dialog.cy}), expected[i].second) << dialog.id;
    EXPECT_EQ(dialog.fontPointSize, 8) << dialog.id;
    EXPECT_EQ(dialog.fontName, "MS Sans Serif") << dialog.id;
    EXPECT_TRUE(dialog.style & kSetFont) << dialog.id;
  }
  EXPECT_EQ(FindDialog(102), nullptr);
  EXPECT_EQ(FindDialog(109), nullptr);
}

TEST(DialogLayouts, FrameIsAModalPopUpAndPagesAreControlParentChildren) {
  const DialogLayout* frame = FindDialog(103);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->style, kPopup | kCaption | kSysMenu | kModalFrame | kSetFont);
  EXPECT_EQ(frame->caption, "Pictavo Setup");
  for (std::uint16_t id = 104; id <= 108; ++id) {
    const DialogLayout* page = FindDialog(id);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->style, kChild | kControl | kClipSiblings | kClipChildren | kSetFont) << id;
    EXPECT_EQ(page->exStyle, kExControlParent) << id;
    EXPECT_EQ(page->caption, "") << id;
  }
}

TEST(DialogLayouts, ControlsInTemplateOrder) {
  ExpectControls(103, {{3, "Button", "< &Back", 147, 184, 50, 14},
                       {1, "Button", "&Next >", 202, 184, 50, 14},
                       {2, "Button", "Cancel", 257, 184, 50, 14},
                       {1002, "Static", "#101", 11, 8, 81, 161},
                       {-1, "Static", "", 11, 176, 296, 1}});
  ExpectControls(104, {{1000, "Edit", "", 0, 0, 313, 155},
                       {-1, "Static", "Do you accept this agreement?", 2, 160, 306, 10}});
  ExpectControls(
      105, {{-1, "Static",
             "Welcome to Pictavo Setup! This program will install Pictavo on your computer.", 5, 0,
             207, 28},
            {-1, "Static",
             "Please click the \"Next >\" button to continue setup, or \"Cancel\" button to abort.",
             5, 32, 207, 18},
            {1003, "Static", "*", 18, 72, 191, 25},
            {-1, "Static", "http://www.corvantis.example", 18, 100, 191, 10}});
  ExpectControls(
      106,
      {{-1, "Static", "Please select how to install Pictavo:", 5, 0, 207, 10},
       {1001, "Button", "Install for the Current User only", 8, 12, 205, 9},
       {1002, "Button",
        "Install for All Users of this computer (you should be an Administrator to install "
        "that way)",
        8, 23, 205, 29},
       {-1, "Static", "Setup will install Pictavo into the following folder.", 5, 71, 207, 10},
       {1006, "Static", "To install into a different folder, Click Browse, and select another one.",
        5, 83, 205, 27},
       {-1, "Button", "Destination Folder", 5, 111, 207, 51},
       {1013, "Static", "Static", 11, 122, 197, 17},
       {1005, "Button", "B&rowse...", 134, 141, 71, 16}});
  ExpectControls(107, {{-1, "Static",
                        "Enter the name of the Program Manager group to add Pictavo icons to:", 5,
                        28, 207, 17},
                       {1008, "Button", "Auto-start Pictavo when Windows starts", 5, 88, 207, 10},
                       {1009, "Button", "Add Pictavo icon to the desktop", 5, 99, 207, 10},
                       {1000, "Edit", "", 3, 48, 211, 12}});
  ExpectControls(
      108, {{1010, "Static", "You are now ready to install Pictavo.", 5, 0, 207, 16},
            {1011, "Static",
             "Press the Next button to begin the installation or the Back button to change your "
             "selections.",
             5, 19, 207, 28},
            {1009, "Static", "Installing Pictavo, please wait...", 5, 80, 207, 20},
            {1012, "Button", "Run Pictavo", 5, 66, 206, 11},
            {1014, "msctls_progress32", "", 5, 104, 207, 12}});
}

TEST(DialogLayouts, ControlsLieInsideTheirDialog) {
  for (const DialogLayout& dialog : DialogLayouts()) {
    for (const ControlLayout& c : dialog.controls) {
      EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.x + c.cx <= dialog.cx && c.y + c.cy <= dialog.cy)
          << dialog.id << "/" << c.id;
    }
  }
}

TEST(DialogLayouts, OnlyThePictureAndTheProgressControlsStartHidden) {
  std::set<std::pair<int, int>> hidden;
  for (const DialogLayout& dialog : DialogLayouts()) {
    for (const ControlLayout& c : dialog.controls) {
      EXPECT_TRUE(c.style & kChild) << dialog.id << "/" << c.id;
      if (!(c.style & kVisible))
        hidden.insert({dialog.id, c.id});
    }
  }
  EXPECT_EQ(hidden,
            (std::set<std::pair<int, int>>{{103, 1002}, {108, 1009}, {108, 1012}, {108, 1014}}));
}

TEST(DialogLayouts, NextIsTheOnlyDefaultButton) {
  int defaults = 0;
  for (const DialogLayout& dialog : DialogLayouts()) {
    for (const ControlLayout& c : dialog.controls) {
      if (c.windowClass == "Button" && (c.style & kButtonType) == kDefPushButton) {
        ++defaults;
        EXPECT_EQ(std::make_pair(int{dialog.id}, c.id), std::make_pair(103, 1));
      }
    }
  }
  EXPECT_EQ(defaults, 1);
}

TEST(DialogLayouts, FocusableControlsAreTabStopsAndTextsAreNot) {
  for (const DialogLayout& dialog : DialogLayouts()) {
    for (const ControlLayout& c : dialog.controls) {
      const bool radio = c.windowClass == "Button" && (c.style & kButtonType) == kAutoRadio;
      const bool focusable =
          (c.windowClass == "Button" && !radio && (c.style & kButtonType) != kGroupBox) ||
          c.windowClass == "Edit";
      if (!radio) {
        EXPECT_EQ((c.style & kTabStop) != 0, focusable) << dialog.id << "/" << c.id;
      }
    }
  }
}

TEST(DialogLayouts, RadioChoicesFormOneGroupOpenedByTheFirst) {
  const ControlLayout& current_user = Control(106, 1001);
  const ControlLayout& all_users = Control(106, 1002);
  EXPECT_EQ(current_user.style & kButtonType, kAutoRadio);
  EXPECT_TRUE(current_user.style & kGroup);
  EXPECT_TRUE(current_user.style & kTabStop);
  EXPECT_EQ(all_users.style & kButtonType, kAutoRadio);
  EXPECT_FALSE(all_users.style & kGroup);
  EXPECT_TRUE(all_users.style & 0x2000) << "multi-line";
  EXPECT_TRUE(all_users.style & 0x0400) << "top-aligned";
  // The control after the radios closes their group.
  const DialogLayout* page = FindDialog(106);
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(page->controls[3].style & kGroup);
}

TEST(DialogLayouts, SpecialControlStyles) {
  const ControlLayout& picture = Control(103, 1002);
  EXPECT_EQ(picture.style & kStaticType, kBitmap);
  EXPECT_TRUE(picture.style & kSunken);
  EXPECT_TRUE(picture.style & kRealSizeControl) << "stretched to its box at any DPI";
  EXPECT_EQ(FindDialog(103)->controls[4].style & kStaticType, kEtchedHorz);

  const ControlLayout& agreement = Control(104, 1000);
  for (std::uint32_t bit : {kMultiLine, kReadOnly, kVScroll, kBorder})
    EXPECT_TRUE(agreement.style & bit) << std::hex << bit;

  const ControlLayout& group_name = Control(107, 1000);
  EXPECT_FALSE(group_name.style & kMultiLine);
  EXPECT_TRUE(group_name.style & 0x80) << "horizontal auto-scroll";
  EXPECT_TRUE(group_name.style & kBorder);

  EXPECT_EQ(Control(107, 1008).style & kButtonType, kAutoCheckBox);
  EXPECT_EQ(Control(107, 1009).style & kButtonType, kAutoCheckBox);
  EXPECT_EQ(Control(108, 1012).style & kButtonType, kAutoCheckBox);
  EXPECT_EQ(Control(108, 1009).style & kStaticType, 0x1u) << "centred";
}

TEST(DialogLayouts, WelcomeVersionLineIsAFormatFollowedByTwoNoticeLines) {
  const std::string text(Control(105, 1003).text);
  const std::string first_line = "Pictavo ver. %d.%02d.%02d %s\n";
  ASSERT_EQ(text.substr(0, first_line.size()), first_line);
  const std::string notice = text.substr(first_line.size());
  const auto line_break = notice.find('\n');
  ASSERT_NE(line_break, std::string::npos);
  EXPECT_EQ(notice.find('\n', line_break + 1), std::string::npos) << "three lines in all";
  EXPECT_NE(notice.find("Corvantis"), std::string::npos);
  EXPECT_EQ(notice.find('%'), std::string::npos) << "the notice must not take arguments";
}

TEST(DialogLayouts, WelcomePageShowsTheAddressOfTheDamagedSetupMessage) {
  const std::string address(FindDialog(105)->controls[3].text);
  EXPECT_EQ(address.rfind("http://", 0), 0u);
  EXPECT_NE(Text(catalogue::kDamagedSetup).find(" " + address + " "), std::string::npos);
}

}  // namespace
}  // namespace resources
