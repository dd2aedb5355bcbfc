// The scripted user of the simulated machine: one ordered script of what the user does, read as
// a user's session reads (answers to message boxes, presses, keys, typing and ticks in dialogs,
// answers to the folder browser), and the records of every box, dialog and browser shown.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/ui.h"

namespace sim {

// What a box showed, and how it was answered.
struct ShownBox {
  unsigned processId = 0;
  platform::WindowHandle owner = platform::kNoWindow;
  std::string text;
  std::string caption;
  platform::BoxStyle style;
  platform::BoxResult answer = platform::BoxResult::Failed;
};

struct ExpectedBox {
  std::string text;
  std::string caption;
  platform::BoxStyle style;
};

// One control as the user saw it. `visible` is the control's own state (WS_VISIBLE): whether it
// shows on the screen also depends on its window's.
struct SeenControl {
  int id = 0;
  std::string windowClass;
  std::string text;
  bool visible = false;
  bool enabled = false;
  bool checked = false;
  bool focused = false;
  platform::Rect rect;               // in its dialog's client coordinates
  platform::ProgressState progress;  // a progress bar's; zeros for other controls
};

// A dialog window as the user saw it: its own state and its direct controls in tab order.
struct SeenWindow {
  unsigned layout = 0;
  std::string text;  // the caption
  bool visible = false;
  platform::Rect rect;  // in the parent's client coordinates; on the screen for the frame
  std::vector<SeenControl> controls;
  // The first control with this id; nullptr when there is none.
  const SeenControl* Control(int id) const;
};

// A modal dialog at a moment: "waits" when its loop waits for the user (recorded before the
// step is applied), "busy" when the logic called SetBusy(frame, true).
struct SeenDialog {
  unsigned processId = 0;
  std::string moment;
  SeenWindow frame;
  std::vector<SeenWindow> pages;  // its child dialogs, hidden ones included, top first
  platform::Cursor cursor = platform::Cursor::Arrow;
  bool busy = false;  // SetBusy(frame, true) was in force
};

// A folder browser as it was shown. `selected` is the last BrowseSelect's path.
struct ShownBrowser {
  unsigned processId = 0;
  platform::WindowHandle owner = platform::kNoWindow;
  std::string title;
  std::uint32_t flags = 0;
  std::string selected;
};

enum class Key { Enter, Escape };

// Thrown out of the simulated program when the user meets what the script did not foresee: a
// box, dialog or browser where the script has something else or nothing, a box that differs
// from the expected one, a control the user cannot reach. The test fails with the description.
class ScriptError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// One thing the user does. The machine's dialogs take the steps meant for them.
struct UserStep {
  enum class Kind {
    Answer,
    Press,
    PressKey,
    CloseBox,
    Type,
    Tick,
    Do,
    BrowseChoose,
    BrowseMakeFolder,
    BrowseTypeInvalid,
    BrowseCancel,
  };
  Kind kind = Kind::Answer;
  std::optional<ExpectedBox> expected;  // Answer
  platform::BoxResult answer = platform::BoxResult::Failed;
  int id = 0;                   // Press, Type, Tick
  Key key = Key::Enter;         // PressKey
  std::string text;             // Type; the path or typed name of the browse answers
  std::function<void()> check;  // Do

  bool IsDialogStep() const { return kind >= Kind::Press && kind <= Kind::Do; }
  bool IsBrowseStep() const { return kind >= Kind::BrowseChoose; }
};

std::string Describe(const UserStep& step);

class User {
 public:
  // The next box is answered with `answer`, whatever it shows.
  void WillAnswer(platform::BoxResult answer);
  // The next box must show exactly `expected`; it is answered with `answer`.
  void WillAnswer(ExpectedBox expected, platform::BoxResult answer);

  // Steps in the running modal dialog (the innermost one of the process that waits).
  // Clicks the button with this id: the topmost visible enabled one, searched in the modal
  // dialog's visible child dialogs first, then in the modal dialog itself.
  void Press(int id);
  // Enter sends kIdOk when the modal dialog's default button is enabled (Windows beeps
  // otherwise, and nothing happens); Escape always sends kIdCancel.
  void PressKey(Key key);
  // The close box: kIdCancel, always.
  void CloseBox();
  // Replaces the text of the visible, enabled, writable edit control with this id.
  void Type(int id, std::string text);
  // A check box toggles; a radio button becomes checked and the other radio buttons of its
  // group unchecked; then the owning dialog gets OnCommand(id) as BN_CLICKED does.
  void Tick(int id);
  // Runs the test's function at that wait point, to look at the machine mid-dialog.
  void Do(std::function<void()> check);

  // Answers to the next folder browser.
  void BrowseChoose(std::string path);      // selects this existing folder, OK
  void BrowseMakeFolder(std::string path);  // "Make New Folder" creates it, then OK
  // Typed a name that is no folder and pressed OK: OnValidateFailed decides whether the
  // browser stays open for the next browse answer or closes as Cancel does.
  void BrowseTypeInvalid(std::string typed);
  void BrowseCancel();

  // Whether any step of the script, of whatever kind, is left.
  bool HasUnusedAnswers() const { return !script_.empty(); }
  const std::vector<ShownBox>& Boxes() const { return boxes_; }
  // Every wait of a modal loop for the user and every SetBusy(frame, true), in order.
  const std::vector<SeenDialog>& Dialogs() const { return dialogs_; }
  const std::vector<ShownBrowser>& Browsers() const { return browsers_; }

  // The machine's side: a box is shown to the user, who answers it.
  platform::BoxResult Answer(ShownBox box);
  // A modal loop waits (`seen` is recorded first): the next step must be a dialog step.
  UserStep TakeDialogStep(SeenDialog seen);
  // A browser waits for its answer: the next step must be a browse answer.
  UserStep TakeBrowseStep(const std::string& waiting);
  void Record(SeenDialog seen) { dialogs_.push_back(std::move(seen)); }
  // Records a shown browser; returns its index in Browsers().
  std::size_t Record(ShownBrowser browser);
  void RecordSelection(std::size_t browser, std::string path);

 private:
  UserStep& Add(UserStep::Kind kind) {
    script_.push_back({});
    script_.back().kind = kind;
    return script_.back();
  }

  std::deque<UserStep> script_;
  std::vector<ShownBox> boxes_;
  std::vector<SeenDialog> dialogs_;
  std::vector<ShownBrowser> browsers_;
};

std::string Describe(const ShownBox& box);
// Several lines: the moment, the frame, its controls and pages, for failure messages.
std::string Describe(const SeenDialog& dialog);

}  // namespace sim
