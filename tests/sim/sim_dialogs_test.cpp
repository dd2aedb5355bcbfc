#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/machine.h"

namespace {

using platform::kIdCancel;
using platform::kIdOk;
using platform::kNoWindow;
using platform::WindowHandle;
using sim::Key;

constexpr unsigned kFrame = 103;
constexpr unsigned kAgreement = 104;
constexpr unsigned kWelcome = 105;
constexpr unsigned kFolder = 106;
constexpr unsigned kGroup = 107;
constexpr unsigned kReady = 108;
constexpr int kBack = 3;
constexpr int kNext = 1;
constexpr int kPicture = 1002;
constexpr int kBrowse = 1005;

// A dialog procedure for the tests: it does what the test gives it and keeps what it heard.
class Events : public platform::DialogEvents {
 public:
  std::function<bool(WindowHandle)> init = [](WindowHandle) { return true; };
  std::function<void(int)> command = [](int) {};
  WindowHandle window = kNoWindow;
  std::vector<int> commands;

  bool OnInitDialog(WindowHandle dialog) override {
    window = dialog;
    return init(dialog);
  }
  void OnCommand(int id) override {
    commands.push_back(id);
    command(id);
  }
};

platform::BoxStyle YesNo() {
  platform::BoxStyle style;
  style.buttons = platform::Buttons::YesNo;
  return style;
}

std::string MessageOf(const std::function<void()>& run) {
  try {
    run();
  } catch (const sim::ScriptError& error) {
    return error.what();
  }
  return "(no ScriptError)";
}

class SimDialogsTest : public ::testing::Test {
 public:
  SimDialogsTest() {
    // OK and Cancel end the frame with their ids, as a wizard's buttons may.
    frame_.command = [this](int id) {
      if (id == kIdOk || id == kIdCancel) {
        dialogs_.EndDialog(frame_.window, id);
      }
    };
  }

  // Runs the frame; `page` (0 for none) is made inside it and shown, then `prepare` runs, all
  // during the frame's initialisation.
  int RunFrame(unsigned page = 0, const std::function<void()>& prepare = {}) {
    frame_.init = [=, this](WindowHandle frame) {
      if (page != 0) {
        page_.window = dialogs_.CreateChild(page, frame, page_);
        dialogs_.Show(page_.window, true);
      }
      if (prepare) {
        prepare();
      }
      return true;
    };
    return dialogs_.DoModal(kFrame, kNoWindow, frame_);
  }
  WindowHandle FrameItem(int id) { return dialogs_.GetItem(frame_.window, id); }
  WindowHandle PageItem(int id) { return dialogs_.GetItem(page_.window, id); }

  sim::Machine machine_;
  sim::Process& process_ = machine_.Processes().Start({"C:\\Setup\\setup.exe", {}, {}});
  platform::Dialogs& dialogs_ = process_.GetPlatform().dialogs;
  sim::User& user_ = machine_.GetUser();
  Events frame_;
  Events page_;
};

TEST_F(SimDialogsTest, ControlsComeFromTheLayoutsInPixels) {
  // 1.5 pixels per horizontal and 1.625 per vertical unit, rounded to the nearest.
  struct Row {
    unsigned layout;
    int id;
    const char* windowClass;
    std::string text;
    bool visible;
    platform::Rect rect;
  };
  const Row rows[] = {
      {kFrame, kNext, "Button", "&Next >", true, {303, 299, 378, 322}},
      {kFrame, kPicture, "Static", "", false, {17, 13, 139, 275}},  // a picture has no text
      {kAgreement, 1000, "Edit", "", true, {0, 0, 470, 252}},
      {kWelcome,
       1003,
       "Static",
       "Pictavo ver. %d.%02d.%02d %s\nCopyright (c) Corvantis. All rights reserved.\n"
       "Unlicensed copying is prohibited by law.",
       true,
       {27, 117, 314, 158}},
      {kFolder,
       1002,
       "Button",
       "Install for All Users of this computer (you should be an Administrator to install that "
       "way)",
       true,
       {12, 37, 320, 84}},
      {kReady, 1009, "Static", "Installing Pictavo, please wait...", false, {8, 130, 319, 163}},
      {kReady, 1012, "Button", "Run Pictavo", false, {8, 107, 317, 125}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.layout) + "/" + std::to_string(row.id));
    const unsigned page = row.layout == kFrame ? 0 : row.layout;
    user_.Do([&] {
      const WindowHandle control = page == 0 ? FrameItem(row.id) : PageItem(row.id);
      ASSERT_NE(control, kNoWindow);
      EXPECT_EQ(dialogs_.GetText(control), row.text);
      EXPECT_EQ(dialogs_.IsVisible(control), row.visible);
      EXPECT_EQ(dialogs_.GetRectInParent(control), row.rect);
      if (page != 0 && row.id != kPicture) {
        EXPECT_EQ(FrameItem(row.id), kNoWindow) << "a page's control is not the frame's";
      }
      const sim::SeenWindow& seen =
          page == 0 ? user_.Dialogs().back().frame : user_.Dialogs().back().pages.at(0);
      ASSERT_NE(seen.Control(row.id), nullptr);
      EXPECT_EQ(seen.Control(row.id)->windowClass, row.windowClass);
    });
    user_.CloseBox();
    EXPECT_EQ(RunFrame(page), kIdCancel);
  }
}

TEST_F(SimDialogsTest, InitialisationSeesTheWindowsHiddenAndEndDialogThereEndsAtOnce) {
  bool hiddenDuringInit = false;
  WindowHandle page = kNoWindow;
  frame_.init = [&](WindowHandle frame) {
    page = dialogs_.CreateChild(kWelcome, frame, page_);
    EXPECT_EQ(page_.window, page) << "the page's initialisation ran before CreateChild returned";
    hiddenDuringInit = !dialogs_.IsVisible(frame) && !dialogs_.IsVisible(FrameItem(kNext)) &&
                       !dialogs_.IsVisible(page);
    dialogs_.EndDialog(page, 9);  // a page runs no modal loop: nothing happens
    dialogs_.EndDialog(frame, 7);
    return true;
  };
  EXPECT_EQ(dialogs_.DoModal(kFrame, kNoWindow, frame_), 7);
  EXPECT_TRUE(hiddenDuringInit);
  EXPECT_TRUE(user_.Dialogs().empty()) << "the dialog never waited for the user";
  EXPECT_FALSE(machine_.Windows().Exists(page));
  EXPECT_EQ(machine_.Windows().Count(), 0u);
}

TEST_F(SimDialogsTest, DialogsThatCannotBeMadeAreReportedWithoutInitialisation) {
  EXPECT_EQ(dialogs_.DoModal(999, kNoWindow, frame_), -1);
  EXPECT_EQ(dialogs_.DoModal(kFrame, 0xDEAD, frame_), -1);
  EXPECT_EQ(dialogs_.CreateChild(999, kNoWindow, page_), kNoWindow);
  EXPECT_EQ(dialogs_.CreateChild(kGroup, kNoWindow, page_), kNoWindow) << "a child needs a parent";
  EXPECT_EQ(dialogs_.CreateChild(kGroup, 0xDEAD, page_), kNoWindow);
  EXPECT_EQ(frame_.window, kNoWindow);
  EXPECT_EQ(page_.window, kNoWindow);
  EXPECT_EQ(machine_.Windows().Count(), 0u);
}

TEST_F(SimDialogsTest, UserStepsReachTheDialogThatOwnsTheControl) {
  struct Row {
    const char* name;
    unsigned page;
    std::function<void(SimDialogsTest&)> prepare;
    std::function<void(sim::User&)> steps;
    int result;
    std::vector<int> frameCommands;
    std::vector<int> pageCommands;
  };
  const auto none = [](SimDialogsTest&) {};
  const Row rows[] = {
      {"Next pressed", 0, none, [](sim::User& u) { u.Press(kNext); }, kIdOk, {kNext}, {}},
      {"Enter", 0, none, [](sim::User& u) { u.PressKey(Key::Enter); }, kIdOk, {kIdOk}, {}},
      {"Enter with Next disabled beeps",
       0,
       [](SimDialogsTest& t) { t.dialogs_.Enable(t.FrameItem(kNext), false); },
       [](sim::User& u) {
         u.PressKey(Key::Enter);
         u.CloseBox();
       },
       kIdCancel,
       {kIdCancel},
       {}},
      {"Enter with Next hidden",
       0,
       [](SimDialogsTest& t) { t.dialogs_.Show(t.FrameItem(kNext), false); },
       [](sim::User& u) { u.PressKey(Key::Enter); },
       kIdOk,
       {kIdOk},
       {}},
      {"Escape with Cancel disabled",
       0,
       [](SimDialogsTest& t) { t.dialogs_.Enable(t.FrameItem(kIdCancel), false); },
       [](sim::User& u) { u.PressKey(Key::Escape); },
       kIdCancel,
       {kIdCancel},
       {}},
      {"close box with Cancel hidden",
       0,
       [](SimDialogsTest& t) { t.dialogs_.Show(t.FrameItem(kIdCancel), false); },
       [](sim::User& u) { u.CloseBox(); },
       kIdCancel,
       {kIdCancel},
       {}},
      {"page button",
       kFolder,
       none,
       [](sim::User& u) {
         u.Press(kBrowse);
         u.Press(kIdCancel);
       },
       kIdCancel,
       {kIdCancel},
       {kBrowse}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    frame_.commands.clear();
    page_.commands.clear();
    row.steps(user_);
    EXPECT_EQ(RunFrame(row.page, [&] { row.prepare(*this); }), row.result);
    EXPECT_EQ(frame_.commands, row.frameCommands);
    EXPECT_EQ(page_.commands, row.pageCommands);
    EXPECT_FALSE(user_.HasUnusedAnswers());
  }
}

TEST_F(SimDialogsTest, PressGoesToTheTopmostVisiblePage) {
  Events other;
  WindowHandle second = kNoWindow;
  frame_.init = [&](WindowHandle frame) {
    page_.window = dialogs_.CreateChild(kFolder, frame, page_);
    second = dialogs_.CreateChild(kFolder, frame, other);
    dialogs_.Show(page_.window, true);
    dialogs_.Show(second, true);
    return true;
  };
  user_.Press(kBrowse);  // made first, so above the second
  user_.Do([&] { dialogs_.PlaceOnTop(second, 10, 20); });
  user_.Press(kBrowse);
  user_.Do([&] {
    EXPECT_EQ(dialogs_.GetRectInParent(second), (platform::Rect{10, 20, 336, 285}));
    dialogs_.Show(second, false);
  });
  user_.Press(kBrowse);
  user_.CloseBox();
  dialogs_.DoModal(kFrame, kNoWindow, frame_);
  EXPECT_EQ(page_.commands, (std::vector<int>{kBrowse, kBrowse}));
  EXPECT_EQ(other.commands, (std::vector<int>{kBrowse}));
  // The records list the pages top first.
  EXPECT_EQ(user_.Dialogs()[2].pages.at(0).rect.left, 10);
}

TEST_F(SimDialogsTest, ControlsTheUserCannotUseStopTheScript) {
  struct Row {
    const char* name;
    unsigned page;
    std::function<void(SimDialogsTest&)> prepare;
    std::function<void(sim::User&)> step;
    const char* message;
  };
  const auto none = [](SimDialogsTest&) {};
  const Row rows[] = {
      {"disabled Next", 0, [](SimDialogsTest& t) { t.dialogs_.Enable(t.FrameItem(kNext), false); },
       [](sim::User& u) { u.Press(kNext); }, "is disabled"},
      {"hidden Back", 0, [](SimDialogsTest& t) { t.dialogs_.Show(t.FrameItem(kBack), false); },
       [](sim::User& u) { u.Press(kBack); }, "is hidden"},
      {"a picture is no button", 0, none, [](sim::User& u) { u.Press(kPicture); }, "cannot use"},
      {"a missing control", 0, none, [](sim::User& u) { u.Press(4242); }, "no control 4242"},
      {"a button of a hidden page", kFolder,
       [](SimDialogsTest& t) { t.dialogs_.Show(t.page_.window, false); },
       [](sim::User& u) { u.Press(kBrowse); }, "no control 1005"},
      {"a control in a disabled page", kGroup,
       [](SimDialogsTest& t) { t.dialogs_.Enable(t.page_.window, false); },
       [](sim::User& u) { u.Tick(1009); }, "is disabled"},
      {"the read-only agreement", kAgreement, none, [](sim::User& u) { u.Type(1000, "x"); },
       "read-only"},
      {"typing into a button", 0, none, [](sim::User& u) { u.Type(kNext, "x"); }, "cannot use"},
      {"ticking a push button", 0, none, [](sim::User& u) { u.Tick(kNext); }, "cannot use"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    row.step(user_);
    const std::string message = MessageOf([&] { RunFrame(row.page, [&] { row.prepare(*this); }); });
    EXPECT_NE(message.find(row.message), std::string::npos) << message;
    EXPECT_NE(message.find("layout 103"), std::string::npos) << "the dialog is described";
    EXPECT_EQ(machine_.Windows().Count(), 0u) << "the dialog went with its loop";
  }
}

TEST_F(SimDialogsTest, TypingAndTickingChangeTheControlsAndOnlyTicksAreHeard) {
  const std::string typed = "Mes Programmes \xE0 moi";  // "à" in the ANSI code page
  user_.Tick(1008);
  user_.Tick(1009);
  user_.Tick(1009);
  user_.Type(1000, typed);
  user_.Do([&] {
    EXPECT_TRUE(dialogs_.IsChecked(PageItem(1008)));
    EXPECT_FALSE(dialogs_.IsChecked(PageItem(1009)));
    EXPECT_EQ(dialogs_.GetText(PageItem(1000)), typed);
    const int end = static_cast<int>(typed.size());
    EXPECT_EQ(dialogs_.GetEditSelection(PageItem(1000)), std::make_pair(end, end));
    EXPECT_EQ(dialogs_.GetFocus(), PageItem(1000));
  });
  user_.CloseBox();
  RunFrame(kGroup);
  EXPECT_EQ(page_.commands, (std::vector<int>{1008, 1009, 1009}));
}

TEST_F(SimDialogsTest, RadioButtonsOfAGroupExcludeEachOther) {
  struct Row {
    int ticked;
    bool currentUser;
    bool allUsers;
  };
  const Row rows[] = {{1002, false, true}, {1001, true, false}, {1001, true, false}};
  for (const Row& row : rows) {
    user_.Tick(row.ticked);
    user_.Do([&] {
      SCOPED_TRACE(row.ticked);
      EXPECT_EQ(dialogs_.IsChecked(PageItem(1001)), row.currentUser);
      EXPECT_EQ(dialogs_.IsChecked(PageItem(1002)), row.allUsers);
    });
  }
  user_.CloseBox();
  RunFrame(kFolder, [&] { dialogs_.SetCheck(PageItem(1001), true); });
  EXPECT_EQ(page_.commands, (std::vector<int>{1002, 1001, 1001}));
}

TEST_F(SimDialogsTest, ScriptStepsMustMeetWhatTheUserSees) {
  struct Row {
    const char* name;
    std::function<void(sim::User&)> script;
    std::vector<const char*> message;
  };
  const Row rows[] = {
      {"nothing left at a wait", [](sim::User&) {}, {"waits for the user", "no step left"}},
      {"a box answer at a wait",
       [](sim::User& u) { u.WillAnswer(platform::BoxResult::Yes); },
       {"waits for the user", "answer Yes to a message box"}},
      {"a browse answer at a wait",
       [](sim::User& u) { u.BrowseCancel(); },
       {"waits for the user", "BrowseCancel()"}},
      {"a dialog step at a box",
       [](sim::User& u) {
         u.Press(kIdCancel);
         u.Press(kNext);
       },
       {"message box [Pictavo Setup] \"Really?\"", "Press(1)"}},
      {"a dialog step at a browser",
       [](sim::User& u) {
         u.Press(kBrowse);
         u.Tick(1001);
       },
       {"folder browser \"Where?\"", "Tick(1001)"}},
  };
  frame_.command = [this](int id) {
    if (id == kIdCancel &&
        process_.GetPlatform().ui.MessageBox(frame_.window, "Really?", "Pictavo Setup", YesNo()) ==
            platform::BoxResult::Yes) {
      dialogs_.EndDialog(frame_.window, id);
    }
  };
  struct NoBrowse : platform::BrowseEvents {
    void OnBrowserInitialized(WindowHandle) override {}
    bool OnValidateFailed(WindowHandle, const std::string&) override { return false; }
  } browse;
  page_.command = [&](int) { dialogs_.BrowseForFolder(frame_.window, "Where?", 0, browse); };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    row.script(user_);
    const std::string message = MessageOf([&] { RunFrame(kFolder); });
    for (const char* part : row.message) {
      EXPECT_NE(message.find(part), std::string::npos) << message;
    }
    EXPECT_EQ(machine_.Windows().Count(), 0u);
    user_ = sim::User();  // the next row starts on an empty script
  }
}

TEST_F(SimDialogsTest, BoxesDuringADialogAreAnsweredFromTheSameScript) {
  frame_.command = [this](int id) {
    if (process_.GetPlatform().ui.MessageBox(frame_.window, "Cancel setup?", "Pictavo Setup",
                                             YesNo()) == platform::BoxResult::Yes) {
      dialogs_.EndDialog(frame_.window, id);
    }
  };
  user_.Press(kIdCancel);
  user_.WillAnswer(platform::BoxResult::No);
  user_.Press(kIdCancel);
  user_.WillAnswer(platform::BoxResult::Yes);
  EXPECT_EQ(RunFrame(), kIdCancel);
  ASSERT_EQ(user_.Boxes().size(), 2u);
  EXPECT_EQ(user_.Boxes()[0].owner, frame_.window);
  EXPECT_EQ(user_.Boxes()[1].answer, platform::BoxResult::Yes);
  EXPECT_EQ(user_.Dialogs().size(), 2u);
  EXPECT_FALSE(user_.HasUnusedAnswers());
}

TEST_F(SimDialogsTest, RecordsShowEachWaitAndTheBusyFrame) {
  frame_.command = [this](int id) {
    if (id == kNext) {
      dialogs_.SetCursor(platform::Cursor::Wait);
      dialogs_.SetBusy(frame_.window, true);
      dialogs_.SetBusy(frame_.window, false);
      dialogs_.SetCursor(platform::Cursor::Arrow);
    } else {
      dialogs_.EndDialog(frame_.window, id);
    }
  };
  user_.Press(kNext);
  user_.Press(kIdCancel);
  RunFrame(kWelcome, [&] { dialogs_.Show(FrameItem(kBack), false); });

  const std::vector<sim::SeenDialog>& seen = user_.Dialogs();
  ASSERT_EQ(seen.size(), 3u);
  const struct {
    const char* moment;
    platform::Cursor cursor;
    bool busy;
  } moments[] = {{"waits", platform::Cursor::Arrow, false},
                 {"busy", platform::Cursor::Wait, true},
                 {"waits", platform::Cursor::Arrow, false}};
  for (std::size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(sim::Describe(seen[i]));
    EXPECT_EQ(seen[i].processId, process_.Id());
    EXPECT_EQ(seen[i].moment, moments[i].moment);
    EXPECT_EQ(seen[i].cursor, moments[i].cursor);
    EXPECT_EQ(seen[i].busy, moments[i].busy);
    EXPECT_EQ(seen[i].frame.layout, kFrame);
    EXPECT_EQ(seen[i].frame.text, "Pictavo Setup");
    EXPECT_TRUE(seen[i].frame.visible);
    // 318 by 204 units, with a 3-pixel frame and a 19-pixel caption.
    EXPECT_EQ(seen[i].frame.rect, (platform::Rect{0, 0, 483, 357}));
    EXPECT_FALSE(seen[i].frame.Control(kBack)->visible);
    EXPECT_TRUE(seen[i].frame.Control(kNext)->focused) << "Back is hidden, so Next, then pressed";
    EXPECT_EQ(seen[i].frame.Control(kNext)->rect, (platform::Rect{303, 299, 378, 322}));
    EXPECT_EQ(seen[i].frame.Control(4242), nullptr);
    ASSERT_EQ(seen[i].pages.size(), 1u);
    EXPECT_EQ(seen[i].pages[0].layout, kWelcome);
    EXPECT_TRUE(seen[i].pages[0].visible);
    EXPECT_EQ(seen[i].pages[0].rect, (platform::Rect{0, 0, 326, 262}));
  }
  const std::string described = sim::Describe(seen[1]);
  for (const char* part : {"busy", "hourglass", "layout 105", "1 Button \"&Next >\" focused",
                           "3 Button \"< &Back\" hidden"}) {
    EXPECT_NE(described.find(part), std::string::npos) << part << "\n" << described;
  }
}

TEST_F(SimDialogsTest, FocusFollowsTheDialogManagersRules) {
  enum class Where { None, Frame, FrameControl, PageControl };
  struct Row {
    const char* name;
    unsigned page;
    bool defaultFocus;
    std::function<void(SimDialogsTest&)> prepare;
    Where where;
    int id;
  };
  const auto none = [](SimDialogsTest&) {};
  const Row rows[] = {
      {"first visible enabled tab stop", 0, true, none, Where::FrameControl, kBack},
      {"hidden and disabled buttons are passed", 0, true,
       [](SimDialogsTest& t) {
         t.dialogs_.Show(t.FrameItem(kBack), false);
         t.dialogs_.Enable(t.FrameItem(kNext), false);
       },
       Where::FrameControl, kIdCancel},
      {"into the page when the frame has none", kGroup, true,
       [](SimDialogsTest& t) {
         for (int id : {kBack, kNext, kIdCancel}) {
           t.dialogs_.Enable(t.FrameItem(id), false);
         }
       },
       Where::PageControl, 1008},
      {"false leaves it alone", 0, false, none, Where::None, 0},
      {"a disabled window takes none", kGroup, false,
       [](SimDialogsTest& t) {
         t.dialogs_.Enable(t.page_.window, false);
         t.dialogs_.SetFocus(t.PageItem(1000));
       },
       Where::None, 0},
      {"disabling the focused control takes it away", kGroup, false,
       [](SimDialogsTest& t) {
         t.dialogs_.SetFocus(t.PageItem(1000));
         t.dialogs_.Enable(t.PageItem(1000), false);
       },
       Where::None, 0},
      {"hiding the page hands it to the frame", kGroup, false,
       [](SimDialogsTest& t) {
         t.dialogs_.SetFocus(t.PageItem(1000));
         t.dialogs_.Show(t.page_.window, false);
       },
       Where::Frame, 0},
      {"destroying the page hands it to the frame", kGroup, false,
       [](SimDialogsTest& t) {
         t.dialogs_.SetFocus(t.PageItem(1000));
         t.dialogs_.DestroyWindow(t.page_.window);
       },
       Where::Frame, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    frame_.init = [&](WindowHandle frame) {
      page_.window = row.page ? dialogs_.CreateChild(row.page, frame, page_) : kNoWindow;
      dialogs_.Show(page_.window, true);
      row.prepare(*this);
      return row.defaultFocus;
    };
    user_.Do([&] {
      const WindowHandle expected[] = {kNoWindow, frame_.window, FrameItem(row.id),
                                       PageItem(row.id)};
      EXPECT_EQ(dialogs_.GetFocus(), expected[static_cast<int>(row.where)]);
    });
    user_.CloseBox();
    dialogs_.DoModal(kFrame, kNoWindow, frame_);
    EXPECT_EQ(dialogs_.GetFocus(), kNoWindow) << "the focus went with the dialog";
  }
}

TEST_F(SimDialogsTest, AnEditGivenTheFocusByTheDialogManagerIsWhollySelected) {
  user_.Do([&] { EXPECT_EQ(dialogs_.GetEditSelection(PageItem(1000)), std::make_pair(0, 9)); });
  user_.Do([&] {
    dialogs_.SetEditSelection(PageItem(1000), -1, 0);
    EXPECT_EQ(dialogs_.GetEditSelection(PageItem(1000)), std::make_pair(9, 9));
  });
  user_.CloseBox();
  RunFrame(kAgreement, [&] {
    for (int id : {kBack, kNext, kIdCancel}) {
      dialogs_.Show(FrameItem(id), false);
    }
    dialogs_.SetText(PageItem(1000), "Agreement");
  });
}

TEST_F(SimDialogsTest, NestedDialogRunsOwnedAndGivesItsOwnerBack) {
  Events inner;
  int innerResult = 0;
  inner.command = [&](int id) { dialogs_.EndDialog(inner.window, 5 + id); };
  frame_.command = [&](int id) {
    if (id == kNext) {
      innerResult = dialogs_.DoModal(kFrame, FrameItem(kNext), inner);  // a child names its frame
    } else {
      dialogs_.EndDialog(frame_.window, id);
    }
  };
  user_.Press(kNext);
  user_.Do([&] {
    EXPECT_FALSE(dialogs_.IsEnabled(frame_.window));
    EXPECT_EQ(dialogs_.GetFocus(), dialogs_.GetItem(inner.window, kBack));
  });
  user_.Press(kIdCancel);  // the inner dialog's Cancel
  user_.Do([&] {
    EXPECT_TRUE(dialogs_.IsEnabled(frame_.window));
    EXPECT_EQ(dialogs_.GetFocus(), FrameItem(kNext)) << "back where the click left it";
  });
  user_.Press(kIdCancel);
  EXPECT_EQ(RunFrame(), kIdCancel);
  EXPECT_EQ(innerResult, 5 + kIdCancel);
  EXPECT_EQ(inner.commands, std::vector<int>{kIdCancel});
  EXPECT_EQ(frame_.commands, (std::vector<int>{kNext, kIdCancel}));
}

TEST_F(SimDialogsTest, DestroyedWindowsTakeTheirChildrenAndAnswerNothing) {
  WindowHandle edit = kNoWindow;
  frame_.command = [&](int id) {
    if (id == kNext) {
      edit = PageItem(1000);
      EXPECT_TRUE(dialogs_.DestroyWindow(page_.window));
      EXPECT_FALSE(dialogs_.DestroyWindow(page_.window));
      EXPECT_FALSE(dialogs_.DestroyWindow(kNoWindow));
      dialogs_.SetText(edit, "gone");
      dialogs_.SetCheck(edit, true);
      EXPECT_EQ(dialogs_.GetText(edit), "");
      EXPECT_EQ(PageItem(1000), kNoWindow);
      EXPECT_FALSE(dialogs_.IsEnabled(edit));
      EXPECT_EQ(dialogs_.GetRectInParent(edit), platform::Rect{});
    } else {
      // A dialog destroyed under its own loop ends it.
      dialogs_.DestroyWindow(frame_.window);
    }
  };
  user_.Press(kNext);
  user_.Press(kIdCancel);
  EXPECT_EQ(RunFrame(kGroup), 0);
  EXPECT_NE(edit, kNoWindow);
  EXPECT_EQ(machine_.Windows().Count(), 0u);
}

TEST_F(SimDialogsTest, AnEndedProcessLeavesNoWindows) {
  Events modeless;
  WindowHandle left = kNoWindow;
  user_.Press(kBrowse);
  process_.Run([&](platform::Platform& platform) {
    // A top-level layout made modeless and never destroyed, then ExitProcess from a page.
    left = platform.dialogs.CreateChild(kFrame, kNoWindow, modeless);
    page_.command = [&](int) { platform.process.ExitProcess(3); };
    return RunFrame(kFolder);
  });
  EXPECT_EQ(process_.ExitCode(), 3u);
  EXPECT_NE(left, kNoWindow);
  EXPECT_EQ(machine_.Windows().Count(), 0u);
}

// What the browser's callback saw and how it answers a typed name.
class Browsing : public platform::BrowseEvents {
 public:
  explicit Browsing(platform::Dialogs& dialogs) : dialogs_(dialogs) {}
  void OnBrowserInitialized(WindowHandle browser) override {
    this->browser = browser;
    dialogs_.BrowseSelect(browser, "C:\\Program Files");
  }
  bool OnValidateFailed(WindowHandle browser, const std::string& typed) override {
    EXPECT_EQ(browser, this->browser);
    validated.push_back(typed);
    return keepOpen;
  }
  WindowHandle browser = kNoWindow;
  bool keepOpen = true;
  std::vector<std::string> validated;

 private:
  platform::Dialogs& dialogs_;
};

constexpr std::uint32_t kAllBrowseFlags = platform::kBrowseReturnOnlyFileSystemFolders |
                                          platform::kBrowseEditBox | platform::kBrowseValidate |
                                          platform::kBrowseNewDialogStyle;

TEST_F(SimDialogsTest, BrowserAnswersComeBackAsTheDiskSpellsThem) {
  const std::string longFolder = "C:\\" + std::string(120, 'a') + "\\" + std::string(140, 'b');
  machine_.Files().CreateFolders(
      "D:\\Mes Donn\xE9"
      "es\\Pictavo");
  machine_.Files().CreateFolders(longFolder);
  struct Row {
    const char* name;
    std::function<void(sim::User&)> answers;
    bool keepOpen;
    bool chosen;
    std::optional<std::string> path;
    std::vector<std::string> validated;
  };
  const Row rows[] = {
      {"chosen",
       [](sim::User& u) {
         u.BrowseChoose(
             "d:\\MES DONN\xE9"
             "ES\\pictavo\\");
       },
       true,
       true,
       "D:\\Mes Donn\xE9"
       "es\\Pictavo",
       {}},
      {"a drive's root", [](sim::User& u) { u.BrowseChoose("c:\\"); }, true, true, "C:\\", {}},
      {"a new folder",
       [](sim::User& u) { u.BrowseMakeFolder("C:\\Program Files\\Neuer Ordner"); },
       true,
       true,
       "C:\\Program Files\\Neuer Ordner",
       {}},
      {"a typed name kept open",
       [](sim::User& u) {
         u.BrowseTypeInvalid("Q:\\x");
         u.BrowseTypeInvalid("bad|name");
         u.BrowseChoose("C:\\Program Files");
       },
       true,
       true,
       "C:\\Program Files",
       {"Q:\\x", "bad|name"}},
      {"a typed name closing it",
       [](sim::User& u) { u.BrowseTypeInvalid("Q:\\x"); },
       false,
       false,
       std::nullopt,
       {"Q:\\x"}},
      {"cancelled", [](sim::User& u) { u.BrowseCancel(); }, true, false, std::nullopt, {}},
      {"a path beyond MAX_PATH",
       [&](sim::User& u) { u.BrowseChoose(longFolder); },
       true,
       true,
       std::nullopt,
       {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Browsing events(dialogs_);
    events.keepOpen = row.keepOpen;
    row.answers(user_);
    const platform::BrowseResult result =
        dialogs_.BrowseForFolder(kNoWindow, "Select the folder", kAllBrowseFlags, events);
    EXPECT_EQ(result.chosen, row.chosen);
    EXPECT_EQ(result.path, row.path);
    EXPECT_EQ(events.validated, row.validated);
    EXPECT_NE(events.browser, kNoWindow);
    EXPECT_FALSE(machine_.Windows().Exists(events.browser)) << "the browser closed";
    EXPECT_FALSE(user_.HasUnusedAnswers());
  }
  EXPECT_TRUE(machine_.Files().Exists("C:\\Program Files\\Neuer Ordner"));
  ASSERT_EQ(user_.Browsers().size(), std::size(rows));
  const sim::ShownBrowser& shown = user_.Browsers()[0];
  EXPECT_EQ(shown.processId, process_.Id());
  EXPECT_EQ(shown.owner, kNoWindow);
  EXPECT_EQ(shown.title, "Select the folder");
  EXPECT_EQ(shown.flags, kAllBrowseFlags);
  EXPECT_EQ(shown.selected, "C:\\Program Files");
}

TEST_F(SimDialogsTest, BrowserAnswersTheBrowserCannotTakeStopTheScript) {
  machine_.Files().WriteFile("C:\\Data\\file.txt", "x");
  struct Row {
    const char* name;
    std::uint32_t flags;
    std::function<void(sim::User&)> answers;
    const char* message;
  };
  const std::uint32_t oldStyle = platform::kBrowseEditBox | platform::kBrowseValidate;
  const Row rows[] = {
      {"a missing folder", kAllBrowseFlags, [](sim::User& u) { u.BrowseChoose("C:\\Nowhere"); },
       "no such folder"},
      {"a file", kAllBrowseFlags, [](sim::User& u) { u.BrowseChoose("C:\\Data\\file.txt"); },
       "no such folder"},
      {"a new folder without the new style", oldStyle,
       [](sim::User& u) { u.BrowseMakeFolder("C:\\Data\\New"); }, "Make New Folder"},
      {"a new folder that is there", kAllBrowseFlags,
       [](sim::User& u) { u.BrowseMakeFolder("C:\\Data"); }, "there already"},
      {"a new folder in no folder", kAllBrowseFlags,
       [](sim::User& u) { u.BrowseMakeFolder("C:\\Nowhere\\New"); }, "no folder to make it in"},
      {"a typed name without an edit box", platform::kBrowseNewDialogStyle,
       [](sim::User& u) { u.BrowseTypeInvalid("x"); }, "no edit box"},
      {"a typed name that is a folder", kAllBrowseFlags,
       [](sim::User& u) { u.BrowseTypeInvalid("C:\\Data"); }, "is a folder"},
      {"a dialog step", kAllBrowseFlags, [](sim::User& u) { u.Press(kNext); }, "Press(1)"},
      {"a box answer", kAllBrowseFlags, [](sim::User& u) { u.WillAnswer(platform::BoxResult::Ok); },
       "to a message box"},
      {"nothing", kAllBrowseFlags, [](sim::User&) {}, "waits for the user"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Browsing events(dialogs_);
    row.answers(user_);
    const std::string message =
        MessageOf([&] { dialogs_.BrowseForFolder(kNoWindow, "Where?", row.flags, events); });
    EXPECT_NE(message.find(row.message), std::string::npos) << message;
    EXPECT_NE(message.find("folder browser \"Where?\""), std::string::npos) << message;
    EXPECT_EQ(machine_.Windows().Count(), 0u);
    user_ = sim::User();  // the next row starts on an empty script
  }
  EXPECT_FALSE(machine_.Files().Exists("C:\\Data\\New"));
}

}  // namespace
