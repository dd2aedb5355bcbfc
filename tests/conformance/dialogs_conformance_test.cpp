// The dialog manager as the wizard uses it: the frame (layout 103) made modal, the pages (104 to
// 108) made inside it, and their controls. Nobody sits at the suite, so every modal dialog here
// ends itself: the checks run inside the frame's OnInitDialog, which then calls EndDialog, and the
// dialog manager never shows the frame on its own.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "conformance/backend.h"
#include "conformance/scratch.h"

namespace {

using platform::kNoWindow;
using platform::WindowHandle;

constexpr unsigned kFrame = 103;
constexpr unsigned kAgreementPage = 104;
constexpr unsigned kWelcomePage = 105;
constexpr unsigned kFolderPage = 106;
constexpr unsigned kGroupPage = 107;
constexpr unsigned kReadyPage = 108;

// Ids of the layouts' controls.
constexpr int kNext = 1;
constexpr int kCancel = 2;
constexpr int kBack = 3;
constexpr int kSidePicture = 1002;  // in the frame; in the folder page the all-users choice
constexpr int kText = 1000;         // the agreement's text, the group name's edit
constexpr int kVersionLine = 1003;
constexpr int kCurrentUser = 1001;
constexpr int kAllUsers = 1002;
constexpr int kBrowse = 1005;
constexpr int kFolder = 1013;
constexpr int kAutoStart = 1008;
constexpr int kDesktopIcon = 1009;
constexpr int kInstalling = 1009;
constexpr int kReady = 1010;
constexpr int kRunProduct = 1012;
constexpr int kProgress = 1014;

// What the frame's checks end the dialog with: no button's id, so that a command routed by
// mistake cannot pass for it.
constexpr int kChecked = 4711;

class Events final : public platform::DialogEvents {
 public:
  explicit Events(std::function<void(WindowHandle)> init = {}) : init_(std::move(init)) {}

  bool OnInitDialog(WindowHandle dialog) override {
    handle = dialog;
    ++initialisations;
    if (init_) {
      init_(dialog);
    }
    // The focus stays where the test put it.
    return false;
  }
  void OnCommand(int id) override { commands.push_back(id); }

  WindowHandle handle = kNoWindow;
  int initialisations = 0;
  std::vector<int> commands;

 private:
  std::function<void(WindowHandle)> init_;
};

// Makes the frame modal and runs `checks` inside its OnInitDialog, where the frame exists,
// hidden, with its controls; then ends it, whatever the checks found.
void RunInFrame(platform::Dialogs& dialogs, const std::function<void(WindowHandle)>& checks) {
  Events frame([&](WindowHandle handle) {
    checks(handle);
    dialogs.EndDialog(handle, kChecked);
  });
  EXPECT_EQ(dialogs.DoModal(kFrame, kNoWindow, frame), kChecked);
  EXPECT_EQ(frame.initialisations, 1);
  EXPECT_EQ(frame.commands, std::vector<int>{});
}

class DialogsConformance : public ::testing::Test {
 protected:
  void InFrame(const std::function<void(WindowHandle)>& checks) { RunInFrame(dialogs_, checks); }

  // The control `id` of a fresh page of `layout` in `frame`; the page's events must outlive it.
  WindowHandle PageControl(WindowHandle frame, unsigned layout, int id, Events& events) {
    const WindowHandle page = dialogs_.CreateChild(layout, frame, events);
    EXPECT_NE(page, kNoWindow) << layout;
    return dialogs_.GetItem(page, id);
  }

  std::unique_ptr<conformance::Backend> backend_ = conformance::MakeBackend();
  platform::Dialogs& dialogs_ = backend_->Get().dialogs;
};

TEST_F(DialogsConformance, ModalResultIsTheValueGivenToEndDialog) {
  for (int result : {0, platform::kIdOk, platform::kIdCancel, 3, 65536}) {
    Events frame([&](WindowHandle handle) { dialogs_.EndDialog(handle, result); });
    EXPECT_EQ(dialogs_.DoModal(kFrame, kNoWindow, frame), result);
    EXPECT_EQ(frame.initialisations, 1) << result;
    EXPECT_NE(frame.handle, kNoWindow) << result;
  }
}

TEST_F(DialogsConformance, DialogsThatCannotBeMadeAreReported) {
  // 101 is the side picture, not a dialog layout.
  for (unsigned layout : {0u, 101u, 109u, 999u}) {
    Events events;
    EXPECT_EQ(dialogs_.DoModal(layout, kNoWindow, events), -1) << layout;
    EXPECT_EQ(events.initialisations, 0) << layout;
  }
  WindowHandle closedFrame = kNoWindow;
  Events missingPage;
  Events orphanPage;
  InFrame([&](WindowHandle frame) {
    closedFrame = frame;
    EXPECT_EQ(dialogs_.CreateChild(999, frame, missingPage), kNoWindow);
    // A page is a child window: without a parent Windows refuses to make it.
    EXPECT_EQ(dialogs_.CreateChild(kWelcomePage, kNoWindow, orphanPage), kNoWindow);
  });
  Events latePage;
  EXPECT_EQ(dialogs_.CreateChild(kWelcomePage, closedFrame, latePage), kNoWindow);
  EXPECT_EQ(missingPage.initialisations + orphanPage.initialisations + latePage.initialisations, 0);
}

TEST_F(DialogsConformance, PagesAreMadeHiddenInsideTheFrame) {
  struct Case {
    unsigned layout;
    int control;  // one of its controls, there by the time the page's initialisation runs
  };
  const std::vector<Case> cases = {
      {kAgreementPage, kText}, {kWelcomePage, kVersionLine}, {kFolderPage, kBrowse},
      {kGroupPage, kText},     {kReadyPage, kRunProduct},
  };
  std::vector<Events> pages;
  std::vector<WindowHandle> controlsAtInit(cases.size(), kNoWindow);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    pages.emplace_back([this, &cases, &controlsAtInit, i](WindowHandle page) {
      controlsAtInit[i] = dialogs_.GetItem(page, cases[i].control);
    });
  }
  InFrame([&](WindowHandle frame) {
    EXPECT_FALSE(dialogs_.IsVisible(frame));
    dialogs_.Show(frame, true);
    EXPECT_TRUE(dialogs_.IsVisible(frame));
    for (std::size_t i = 0; i < cases.size(); ++i) {
      const WindowHandle page = dialogs_.CreateChild(cases[i].layout, frame, pages[i]);
      ASSERT_NE(page, kNoWindow) << cases[i].layout;
      EXPECT_NE(page, frame);
      EXPECT_EQ(pages[i].initialisations, 1) << cases[i].layout;
      EXPECT_EQ(pages[i].handle, page) << cases[i].layout;
      EXPECT_NE(controlsAtInit[i], kNoWindow) << cases[i].layout;
      EXPECT_EQ(controlsAtInit[i], dialogs_.GetItem(page, cases[i].control)) << cases[i].layout;
      EXPECT_FALSE(dialogs_.IsVisible(page)) << cases[i].layout;
    }
  });
  for (const Events& page : pages) {
    EXPECT_EQ(page.commands, std::vector<int>{});
  }
}

TEST_F(DialogsConformance, ControlsAreFoundInTheirOwnDialogOnly) {
  Events agreement;
  Events folder;
  InFrame([&](WindowHandle frame) {
    const WindowHandle agreementPage = dialogs_.CreateChild(kAgreementPage, frame, agreement);
    const WindowHandle folderPage = dialogs_.CreateChild(kFolderPage, frame, folder);
    ASSERT_NE(agreementPage, kNoWindow);
    ASSERT_NE(folderPage, kNoWindow);

    EXPECT_NE(dialogs_.GetItem(agreementPage, kText), kNoWindow);
    EXPECT_EQ(dialogs_.GetItem(frame, kText), kNoWindow);
    EXPECT_NE(dialogs_.GetItem(frame, kNext), kNoWindow);
    EXPECT_EQ(dialogs_.GetItem(agreementPage, kNext), kNoWindow);
    EXPECT_EQ(dialogs_.GetItem(folderPage, kNext), kNoWindow);
    EXPECT_EQ(dialogs_.GetItem(frame, kBrowse), kNoWindow);
    // The same id in the frame and in a page names two different controls.
    const WindowHandle picture = dialogs_.GetItem(frame, kSidePicture);
    const WindowHandle allUsers = dialogs_.GetItem(folderPage, kAllUsers);
    ASSERT_NE(picture, kNoWindow);
    ASSERT_NE(allUsers, kNoWindow);
    EXPECT_NE(picture, allUsers);
    // Ids that no layout gives, and no dialog at all.
    EXPECT_EQ(dialogs_.GetItem(frame, 4242), kNoWindow);
    EXPECT_EQ(dialogs_.GetItem(kNoWindow, kNext), kNoWindow);
  });
}

TEST_F(DialogsConformance, LayoutTextsReadBackAsWritten) {
  struct Case {
    unsigned layout;
    int id;
    std::string text;
  };
  const std::vector<Case> cases = {
      {kFrame, kNext, "&Next >"},
      {kFrame, kBack, "< &Back"},
      {kFrame, kCancel, "Cancel"},
      {kAgreementPage, kText, ""},
      {kWelcomePage, kVersionLine,
       "Pictavo ver. %d.%02d.%02d %s\nCopyright (c) Corvantis. All rights reserved.\n"
       "Unlicensed copying is prohibited by law."},
      {kFolderPage, kAllUsers,
       "Install for All Users of this computer (you should be an Administrator to install that "
       "way)"},
      {kFolderPage, kFolder, "Static"},
      {kFolderPage, kBrowse, "B&rowse..."},
      {kGroupPage, kDesktopIcon, "Add Pictavo icon to the desktop"},
      {kReadyPage, kInstalling, "Installing Pictavo, please wait..."},
      {kReadyPage, kRunProduct, "Run Pictavo"},
  };
  std::vector<Events> pages(cases.size());
  InFrame([&](WindowHandle frame) {
    EXPECT_EQ(dialogs_.GetText(frame), "Pictavo Setup");
    for (std::size_t i = 0; i < cases.size(); ++i) {
      const Case& c = cases[i];
      const WindowHandle control = c.layout == kFrame
                                       ? dialogs_.GetItem(frame, c.id)
                                       : PageControl(frame, c.layout, c.id, pages[i]);
      ASSERT_NE(control, kNoWindow) << c.layout << "/" << c.id;
      EXPECT_EQ(dialogs_.GetText(control), c.text) << c.layout << "/" << c.id;
    }
  });
}

TEST_F(DialogsConformance, TextsSetAreReadBackWhole) {
  // An agreement far longer than any fixed buffer, with its line breaks.
  std::string agreement;
  while (agreement.size() < 20000) {
    agreement += "Section " + std::to_string(agreement.size()) + ": \"Pictavo\" is licensed.\r\n";
  }
  const std::vector<std::string> texts = {
      "C:\\Program Files\\Pictavo 6",
      // Non-ASCII bytes of the ANSI code page, as a user's folder name may carry them.
      "C:\\Programme\\Bilder \xC4nderung \xE9t\xE9",
      "Press \"Next >\" to continue, or \"Cancel\" to abort.",
      "50%% done, %s left",
      agreement,
      "",
  };
  Events group;
  Events agreementPage;
  Events folder;
  InFrame([&](WindowHandle frame) {
    const std::vector<WindowHandle> windows = {
        frame,
        PageControl(frame, kAgreementPage, kText, agreementPage),
        PageControl(frame, kGroupPage, kText, group),
        PageControl(frame, kFolderPage, kFolder, folder),
        dialogs_.GetItem(frame, kNext),
    };
    for (WindowHandle window : windows) {
      ASSERT_NE(window, kNoWindow);
      for (const std::string& text : texts) {
        dialogs_.SetText(window, text);
        const std::string read = dialogs_.GetText(window);
        EXPECT_EQ(read.size(), text.size()) << window;
        EXPECT_TRUE(read == text) << window << ": " << text.substr(0, 40);
      }
    }
    // The caption set last stays the frame's.
    dialogs_.SetText(frame, "Pictavo 6 Setup");
    EXPECT_EQ(dialogs_.GetText(frame), "Pictavo 6 Setup");
  });
}

TEST_F(DialogsConformance, VisibilityFollowsTheLayoutAndEveryParent) {
  struct Case {
    unsigned layout;
    int id;
    bool visible;  // as the layout makes it, once the frame and the page show
  };
  const std::vector<Case> cases = {
      {kFrame, kNext, true},
      {kFrame, kSidePicture, false},
      {kAgreementPage, kText, true},
      {kFolderPage, kBrowse, true},
      {kReadyPage, kReady, true},
      {kReadyPage, kInstalling, false},
      {kReadyPage, kRunProduct, false},
      {kReadyPage, kProgress, false},
  };
  std::vector<Events> pages(cases.size());
  InFrame([&](WindowHandle frame) {
    for (std::size_t i = 0; i < cases.size(); ++i) {
      const Case& c = cases[i];
      WindowHandle page = frame;
      if (c.layout != kFrame) {
        page = dialogs_.CreateChild(c.layout, frame, pages[i]);
        ASSERT_NE(page, kNoWindow);
      }
      const WindowHandle control = dialogs_.GetItem(page, c.id);
      ASSERT_NE(control, kNoWindow) << c.layout << "/" << c.id;
      // Hidden as long as the frame is, whatever the control's own state.
      EXPECT_FALSE(dialogs_.IsVisible(control)) << c.layout << "/" << c.id;
      dialogs_.Show(frame, true);
      dialogs_.Show(page, true);
      EXPECT_EQ(dialogs_.IsVisible(control), c.visible) << c.layout << "/" << c.id;

      dialogs_.Show(control, true);
      EXPECT_TRUE(dialogs_.IsVisible(control)) << c.layout << "/" << c.id;
      dialogs_.Show(frame, false);
      EXPECT_FALSE(dialogs_.IsVisible(control)) << c.layout << "/" << c.id;
      EXPECT_FALSE(dialogs_.IsVisible(page)) << c.layout << "/" << c.id;
      dialogs_.Show(frame, true);
      EXPECT_TRUE(dialogs_.IsVisible(control)) << c.layout << "/" << c.id;
      if (page != frame) {
        dialogs_.Show(page, false);
        EXPECT_FALSE(dialogs_.IsVisible(control)) << c.layout << "/" << c.id;
        EXPECT_TRUE(dialogs_.IsVisible(frame));
      }
      dialogs_.Show(control, false);
      dialogs_.Show(page, true);
      EXPECT_FALSE(dialogs_.IsVisible(control)) << c.layout << "/" << c.id;
      dialogs_.Show(frame, false);
    }
  });
}

TEST_F(DialogsConformance, EnablingIsTheWindowsOwnState) {
  struct Case {
    unsigned layout;
    int id;
  };
  const std::vector<Case> cases = {
      {kFrame, kNext},        {kFrame, kBack},     {kFrame, kCancel},
      {kFolderPage, kBrowse}, {kGroupPage, kText}, {kGroupPage, kAutoStart},
  };
  std::vector<Events> pages(cases.size());
  InFrame([&](WindowHandle frame) {
    for (std::size_t i = 0; i < cases.size(); ++i) {
      const Case& c = cases[i];
      WindowHandle page = frame;
      if (c.layout != kFrame) {
        page = dialogs_.CreateChild(c.layout, frame, pages[i]);
        ASSERT_NE(page, kNoWindow);
      }
      const WindowHandle control = dialogs_.GetItem(page, c.id);
      ASSERT_NE(control, kNoWindow) << c.layout << "/" << c.id;
      EXPECT_TRUE(dialogs_.IsEnabled(control)) << c.layout << "/" << c.id;
      dialogs_.Enable(control, false);
      EXPECT_FALSE(dialogs_.IsEnabled(control)) << c.layout << "/" << c.id;
      dialogs_.Enable(control, false);
      EXPECT_FALSE(dialogs_.IsEnabled(control)) << c.layout << "/" << c.id;
      dialogs_.Enable(control, true);
      EXPECT_TRUE(dialogs_.IsEnabled(control)) << c.layout << "/" << c.id;
      // IsWindowEnabled answers for the window itself, not for its parents.
      dialogs_.Enable(page, false);
      EXPECT_FALSE(dialogs_.IsEnabled(page));
      EXPECT_TRUE(dialogs_.IsEnabled(control)) << c.layout << "/" << c.id;
      dialogs_.Enable(page, true);
    }
  });
}

TEST_F(DialogsConformance, CheckStatesAreSetAndReadPerButton) {
  struct Case {
    unsigned layout;
    int id;
  };
  const std::vector<Case> cases = {
      {kFolderPage, kCurrentUser}, {kFolderPage, kAllUsers},  {kGroupPage, kAutoStart},
      {kGroupPage, kDesktopIcon},  {kReadyPage, kRunProduct},
  };
  std::vector<Events> pages(cases.size());
  InFrame([&](WindowHandle frame) {
    for (std::size_t i = 0; i < cases.size(); ++i) {
      const Case& c = cases[i];
      const WindowHandle button = PageControl(frame, c.layout, c.id, pages[i]);
      ASSERT_NE(button, kNoWindow) << c.layout << "/" << c.id;
      EXPECT_FALSE(dialogs_.IsChecked(button)) << c.layout << "/" << c.id;
      dialogs_.SetCheck(button, true);
      EXPECT_TRUE(dialogs_.IsChecked(button)) << c.layout << "/" << c.id;
      dialogs_.SetCheck(button, false);
      EXPECT_FALSE(dialogs_.IsChecked(button)) << c.layout << "/" << c.id;
    }
  });
}

TEST_F(DialogsConformance, ProgressBarHoldsItsPositionWithinItsRange) {
  using platform::ProgressState;
  struct Step {
    bool range;  // false: a position
    int value;
    ProgressState after;
  };
  const std::vector<Step> steps = {
      {true, 7, {0, 7}},
      {false, 3, {3, 7}},
      {false, 7, {7, 7}},
      {false, 12, {7, 7}},
      {false, -2, {0, 7}},
      {false, 1, {1, 7}},
      // Past the 16 bits of PBM_SETRANGE: a distribution of many files.
      {true, 100000, {1, 100000}},
      {false, 99999, {99999, 100000}},
  };
  Events ready;
  InFrame([&](WindowHandle frame) {
    const WindowHandle bar = PageControl(frame, kReadyPage, kProgress, ready);
    ASSERT_NE(bar, kNoWindow);
    EXPECT_EQ(dialogs_.GetText(bar), "");
    EXPECT_EQ(dialogs_.GetProgress(bar), (ProgressState{0, 100})) << "as made";
    for (const Step& step : steps) {
      if (step.range) {
        dialogs_.SetProgressRange(bar, step.value);
      } else {
        dialogs_.SetProgressPosition(bar, step.value);
      }
      EXPECT_EQ(dialogs_.GetProgress(bar), step.after)
          << (step.range ? "range " : "position ") << step.value;
    }
  });
}

TEST_F(DialogsConformance, RadioChoiceIsSetOnBothButtons) {
  // Checking an automatic radio button clears the rest of its group under Wine but not on
  // Windows, where only the user's click does; the program sets both buttons, and so the end
  // state is the same everywhere.
  Events folder;
  InFrame([&](WindowHandle frame) {
    const WindowHandle page = dialogs_.CreateChild(kFolderPage, frame, folder);
    ASSERT_NE(page, kNoWindow);
    const WindowHandle currentUser = dialogs_.GetItem(page, kCurrentUser);
    const WindowHandle allUsers = dialogs_.GetItem(page, kAllUsers);
    for (bool forAll : {true, false, true}) {
      dialogs_.SetCheck(forAll ? allUsers : currentUser, true);
      dialogs_.SetCheck(forAll ? currentUser : allUsers, false);
      EXPECT_EQ(dialogs_.IsChecked(allUsers), forAll);
      EXPECT_EQ(dialogs_.IsChecked(currentUser), !forAll);
    }
  });
  EXPECT_EQ(folder.commands, std::vector<int>{});
}

TEST_F(DialogsConformance, EditSelectionIsSetClampedAndRemoved) {
  struct Case {
    int start;
    int end;
    std::pair<int, int> selection;
  };
  // "Pictavo 6" has 9 characters.
  const std::vector<Case> cases = {
      {0, -1, {0, 9}}, {2, 5, {2, 5}}, {0, 100, {0, 9}}, {4, 4, {4, 4}}, {0, 0, {0, 0}},
  };
  Events group;
  Events agreement;
  InFrame([&](WindowHandle frame) {
    for (WindowHandle edit : {PageControl(frame, kGroupPage, kText, group),
                              PageControl(frame, kAgreementPage, kText, agreement)}) {
      ASSERT_NE(edit, kNoWindow);
      dialogs_.SetText(edit, "Pictavo 6");
      for (const Case& c : cases) {
        dialogs_.SetEditSelection(edit, c.start, c.end);
        EXPECT_EQ(dialogs_.GetEditSelection(edit), c.selection) << c.start << ", " << c.end;
      }
      // -1 as the start removes the selection and leaves the caret at its end.
      dialogs_.SetEditSelection(edit, 2, 7);
      dialogs_.SetEditSelection(edit, -1, 0);
      EXPECT_EQ(dialogs_.GetEditSelection(edit), std::make_pair(7, 7));
      dialogs_.SetEditSelection(edit, 0, -1);
      dialogs_.ScrollCaret(edit);
      EXPECT_EQ(dialogs_.GetEditSelection(edit), std::make_pair(0, 9));
    }
  });
}

TEST_F(DialogsConformance, FocusGoesToTheWindowGivenAndLeavesWithTheDialog) {
  Events group;
  InFrame([&](WindowHandle frame) {
    dialogs_.Show(frame, true);
    const WindowHandle page = dialogs_.CreateChild(kGroupPage, frame, group);
    ASSERT_NE(page, kNoWindow);
    dialogs_.Show(page, true);
    const WindowHandle edit = dialogs_.GetItem(page, kText);
    const WindowHandle next = dialogs_.GetItem(frame, kNext);
    dialogs_.SetFocus(edit);
    EXPECT_EQ(dialogs_.GetFocus(), edit);
    dialogs_.SetFocus(next);
    EXPECT_EQ(dialogs_.GetFocus(), next);
  });
  EXPECT_EQ(dialogs_.GetFocus(), kNoWindow);
}

TEST_F(DialogsConformance, PlacedPageKeepsItsSizeAndShows) {
  Events agreement;
  Events welcome;
  InFrame([&](WindowHandle frame) {
    const WindowHandle page = dialogs_.CreateChild(kAgreementPage, frame, agreement);
    const WindowHandle narrowPage = dialogs_.CreateChild(kWelcomePage, frame, welcome);
    ASSERT_NE(page, kNoWindow);
    ASSERT_NE(narrowPage, kNoWindow);
    const platform::Rect made = dialogs_.GetRectInParent(page);
    // The layouts put the pages at the frame's client origin.
    EXPECT_EQ(made.left, 0);
    EXPECT_EQ(made.top, 0);
    const int width = made.right - made.left;
    const int height = made.bottom - made.top;
    const platform::Rect narrow = dialogs_.GetRectInParent(narrowPage);
    // 313 x 174 against 217 x 161 dialog units.
    EXPECT_GT(width, narrow.right - narrow.left);
    EXPECT_GT(height, narrow.bottom - narrow.top);
    EXPECT_GT(narrow.right - narrow.left, 0);

    for (auto [x, y] : {std::pair{150, 12}, std::pair{7, 3}, std::pair{0, 0}}) {
      dialogs_.PlaceOnTop(page, x, y);
      EXPECT_EQ(dialogs_.GetRectInParent(page), (platform::Rect{x, y, x + width, y + height}))
          << x << ", " << y;
    }
    // Placed, the page shows as soon as the frame does.
    EXPECT_FALSE(dialogs_.IsVisible(page));
    dialogs_.Show(frame, true);
    EXPECT_TRUE(dialogs_.IsVisible(page));
    EXPECT_FALSE(dialogs_.IsVisible(narrowPage));
    dialogs_.Repaint(frame);

    // A control's rectangle is in its page's client area, and moves with nothing but itself.
    const WindowHandle text = dialogs_.GetItem(page, kText);
    const platform::Rect control = dialogs_.GetRectInParent(text);
    EXPECT_GE(control.left, 0);
    EXPECT_GE(control.top, 0);
    EXPECT_LE(control.right, width);
    EXPECT_LE(control.bottom, height);
    dialogs_.PlaceOnTop(page, 150, 12);
    EXPECT_EQ(dialogs_.GetRectInParent(text), control);
  });
}

TEST_F(DialogsConformance, DestroyedPageTakesItsControlsAlong) {
  Events folder;
  Events again;
  InFrame([&](WindowHandle frame) {
    const WindowHandle page = dialogs_.CreateChild(kFolderPage, frame, folder);
    ASSERT_NE(page, kNoWindow);
    const WindowHandle browse = dialogs_.GetItem(page, kBrowse);
    ASSERT_NE(browse, kNoWindow);
    EXPECT_TRUE(dialogs_.DestroyWindow(page));
    EXPECT_EQ(dialogs_.GetItem(page, kBrowse), kNoWindow);
    EXPECT_EQ(dialogs_.GetText(browse), "");
    EXPECT_FALSE(dialogs_.DestroyWindow(page));
    EXPECT_FALSE(dialogs_.DestroyWindow(browse));
    EXPECT_FALSE(dialogs_.DestroyWindow(kNoWindow));
    // The frame keeps its own controls, and the layout makes a page again.
    EXPECT_EQ(dialogs_.GetText(dialogs_.GetItem(frame, kNext)), "&Next >");
    const WindowHandle newPage = dialogs_.CreateChild(kFolderPage, frame, again);
    ASSERT_NE(newPage, kNoWindow);
    EXPECT_EQ(dialogs_.GetText(dialogs_.GetItem(newPage, kBrowse)), "B&rowse...");
  });
}

TEST_F(DialogsConformance, GoneWindowsAreIgnoredAndGiveEmptyAnswers) {
  WindowHandle gone = kNoWindow;
  WindowHandle goneEdit = kNoWindow;
  Events group;
  InFrame([&](WindowHandle frame) {
    const WindowHandle page = dialogs_.CreateChild(kGroupPage, frame, group);
    ASSERT_NE(page, kNoWindow);
    goneEdit = dialogs_.GetItem(page, kText);
    ASSERT_TRUE(dialogs_.DestroyWindow(page));
    gone = page;
  });
  ASSERT_NE(gone, kNoWindow);
  for (WindowHandle window : {kNoWindow, gone, goneEdit}) {
    dialogs_.SetText(window, "text");
    dialogs_.Show(window, true);
    dialogs_.Enable(window, true);
    dialogs_.SetCheck(window, true);
    dialogs_.SetEditSelection(window, 0, -1);
    dialogs_.ScrollCaret(window);
    dialogs_.PlaceOnTop(window, 10, 10);
    dialogs_.Repaint(window);
    dialogs_.EndDialog(window, 1);
    EXPECT_EQ(dialogs_.GetText(window), "") << window;
    EXPECT_FALSE(dialogs_.IsVisible(window)) << window;
    EXPECT_FALSE(dialogs_.IsEnabled(window)) << window;
    EXPECT_FALSE(dialogs_.IsChecked(window)) << window;
    EXPECT_EQ(dialogs_.GetEditSelection(window), std::make_pair(0, 0)) << window;
    EXPECT_EQ(dialogs_.GetRectInParent(window), platform::Rect{}) << window;
    EXPECT_EQ(dialogs_.GetItem(window, kText), kNoWindow) << window;
  }
  // The frame made afterwards is whole.
  InFrame([&](WindowHandle frame) {
    EXPECT_EQ(dialogs_.GetText(frame), "Pictavo Setup");
    EXPECT_TRUE(dialogs_.IsEnabled(dialogs_.GetItem(frame, kNext)));
  });
}

class BusyDialogsConformance : public conformance::ScratchTest {
 protected:
  platform::Dialogs& dialogs_ = platform_.dialogs;
};

TEST_F(BusyDialogsConformance, FileWorkKeepsItsResultsWhileTheFrameIsBusy) {
  // Large enough for the copy to report its progress several times.
  std::string payload(3 << 20, '\0');
  for (std::size_t i = 0; i < payload.size(); ++i) {
    payload[i] = static_cast<char>(i * 7 + i / 4096);
  }
  ASSERT_TRUE(backend_->WriteBytes(Path("payload.bin"), payload));
  Events ready;
  RunInFrame(dialogs_, [&](WindowHandle frame) {
    dialogs_.Show(frame, true);
    const WindowHandle page = dialogs_.CreateChild(kReadyPage, frame, ready);
    ASSERT_NE(page, kNoWindow);
    dialogs_.SetCursor(platform::Cursor::Wait);
    dialogs_.SetBusy(frame, true);
    EXPECT_TRUE(files_.CreateDirectory(Path("Pictavo 6")));
    EXPECT_TRUE(files_.CopyFile(Path("payload.bin"), Path("Pictavo 6\\payload.bin"), true));
    EXPECT_FALSE(files_.CopyFile(Path("payload.bin"), Path("Pictavo 6\\payload.bin"), true));
    EXPECT_TRUE(files_.CopyFile(Path("payload.bin"), Path("Pictavo 6\\payload.bin"), false));
    EXPECT_TRUE(files_.MoveFileEx(Path("Pictavo 6\\payload.bin"), Path("Pictavo 6\\moved.bin"), 0));
    EXPECT_FALSE(files_.DeleteFile(Path("Pictavo 6\\payload.bin")));
    dialogs_.SetBusy(frame, false);
    dialogs_.SetCursor(platform::Cursor::Arrow);
    // Nothing of the dialog changed meanwhile.
    EXPECT_TRUE(dialogs_.IsVisible(frame));
    EXPECT_FALSE(dialogs_.IsVisible(page));
    EXPECT_EQ(dialogs_.GetText(dialogs_.GetItem(page, kReady)),
              "You are now ready to install Pictavo.");
  });
  EXPECT_EQ(ready.commands, std::vector<int>{});
  EXPECT_EQ(backend_->ReadBytes(Path("Pictavo 6\\moved.bin")), payload);
  // Not busy, the same calls work as ever.
  EXPECT_TRUE(files_.DeleteFile(Path("Pictavo 6\\moved.bin")));
  EXPECT_TRUE(files_.RemoveDirectory(Path("Pictavo 6")));
}

}  // namespace
