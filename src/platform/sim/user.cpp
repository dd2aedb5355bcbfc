#include "platform/sim/user.h"

namespace sim {
namespace {

const char* Name(platform::Buttons buttons) {
  switch (buttons) {
    case platform::Buttons::Ok:
      return "OK";
    case platform::Buttons::OkCancel:
      return "OK/Cancel";
    case platform::Buttons::YesNo:
      return "Yes/No";
    case platform::Buttons::YesNoCancel:
      return "Yes/No/Cancel";
  }
  return "?";
}

const char* Name(platform::Icon icon) {
  switch (icon) {
    case platform::Icon::None:
      return "no icon";
    case platform::Icon::Warning:
      return "warning";
    case platform::Icon::Question:
      return "question";
    case platform::Icon::Error:
      return "error";
    case platform::Icon::Information:
      return "information";
  }
  return "?";
}

std::string Describe(const std::string& text, const std::string& caption,
                     platform::BoxStyle style) {
  return "[" + caption + "] \"" + text + "\" " + Name(style.buttons) + ", " + Name(style.icon) +
         ", default button " + std::to_string(static_cast<int>(style.defaultButton) + 1);
}

}  // namespace

std::string Describe(const ShownBox& box) {
  return Describe(box.text, box.caption, box.style);
}

namespace {

const char* Name(platform::BoxResult answer) {
  switch (answer) {
    case platform::BoxResult::Failed:
      return "Failed";
    case platform::BoxResult::Ok:
      return "OK";
    case platform::BoxResult::Cancel:
      return "Cancel";
    case platform::BoxResult::Yes:
      return "Yes";
    case platform::BoxResult::No:
      return "No";
  }
  return "?";
}

}  // namespace

std::string Describe(const UserStep& step) {
  switch (step.kind) {
    case UserStep::Kind::Answer:
      return std::string("the answer ") + Name(step.answer) + " to a message box" +
             (step.expected ? " " + Describe(step.expected->text, step.expected->caption,
                                             step.expected->style)
                            : std::string());
    case UserStep::Kind::Press:
      return "Press(" + std::to_string(step.id) + ")";
    case UserStep::Kind::PressKey:
      return step.key == Key::Enter ? "PressKey(Enter)" : "PressKey(Escape)";
    case UserStep::Kind::CloseBox:
      return "CloseBox()";
    case UserStep::Kind::Type:
      return "Type(" + std::to_string(step.id) + ", \"" + step.text + "\")";
    case UserStep::Kind::Tick:
      return "Tick(" + std::to_string(step.id) + ")";
    case UserStep::Kind::Do:
      return "Do(check)";
    case UserStep::Kind::BrowseChoose:
      return "BrowseChoose(\"" + step.text + "\")";
    case UserStep::Kind::BrowseMakeFolder:
      return "BrowseMakeFolder(\"" + step.text + "\")";
    case UserStep::Kind::BrowseTypeInvalid:
      return "BrowseTypeInvalid(\"" + step.text + "\")";
    case UserStep::Kind::BrowseCancel:
      return "BrowseCancel()";
  }
  return "?";
}

const SeenControl* SeenWindow::Control(int id) const {
  for (const SeenControl& control : controls) {
    if (control.id == id) {
      return &control;
    }
  }
  return nullptr;
}

namespace {

std::string Describe(const platform::Rect& rect) {
  return "(" + std::to_string(rect.left) + "," + std::to_string(rect.top) + ")-(" +
         std::to_string(rect.right) + "," + std::to_string(rect.bottom) + ")";
}

void DescribeWindow(const SeenWindow& window, const std::string& indent, std::string& out) {
  out += indent + "layout " + std::to_string(window.layout) + " \"" + window.text + "\" " +
         (window.visible ? "visible " : "hidden ") + Describe(window.rect) + "\n";
  for (const SeenControl& control : window.controls) {
    out += indent + "  " + std::to_string(control.id) + " " + control.windowClass + " \"" +
           control.text + "\"" + (control.visible ? "" : " hidden") +
           (control.enabled ? "" : " disabled") + (control.checked ? " checked" : "") +
           (control.focused ? " focused" : "") +
           (control.progress == platform::ProgressState{}
                ? ""
                : " at " + std::to_string(control.progress.position) + " of " +
                      std::to_string(control.progress.maximum)) +
           "\n";
  }
}

}  // namespace

std::string Describe(const SeenDialog& dialog) {
  std::string out = "process " + std::to_string(dialog.processId) + ", " + dialog.moment +
                    (dialog.busy ? ", busy" : "") +
                    (dialog.cursor == platform::Cursor::Wait ? ", hourglass" : ", arrow") + "\n";
  DescribeWindow(dialog.frame, "  ", out);
  for (const SeenWindow& page : dialog.pages) {
    DescribeWindow(page, "    ", out);
  }
  return out;
}

void User::WillAnswer(platform::BoxResult answer) {
  UserStep& step = Add(UserStep::Kind::Answer);
  step.answer = answer;
}

void User::WillAnswer(ExpectedBox expected, platform::BoxResult answer) {
  UserStep& step = Add(UserStep::Kind::Answer);
  step.expected = std::move(expected);
  step.answer = answer;
}

void User::Press(int id) {
  UserStep& step = Add(UserStep::Kind::Press);
  step.id = id;
}

void User::PressKey(Key key) {
  UserStep& step = Add(UserStep::Kind::PressKey);
  step.key = key;
}

void User::CloseBox() {
  Add(UserStep::Kind::CloseBox);
}

void User::Type(int id, std::string text) {
  UserStep& step = Add(UserStep::Kind::Type);
  step.id = id;
  step.text = std::move(text);
}

void User::Tick(int id) {
  UserStep& step = Add(UserStep::Kind::Tick);
  step.id = id;
}

void User::Do(std::function<void()> check) {
  UserStep& step = Add(UserStep::Kind::Do);
  step.check = std::move(check);
}

void User::BrowseChoose(std::string path) {
  UserStep& step = Add(UserStep::Kind::BrowseChoose);
  step.text = std::move(path);
}

void User::BrowseMakeFolder(std::string path) {
  UserStep& step = Add(UserStep::Kind::BrowseMakeFolder);
  step.text = std::move(path);
}

void User::BrowseTypeInvalid(std::string typed) {
  UserStep& step = Add(UserStep::Kind::BrowseTypeInvalid);
  step.text = std::move(typed);
}

void User::BrowseCancel() {
  Add(UserStep::Kind::BrowseCancel);
}

platform::BoxResult User::Answer(ShownBox box) {
  if (script_.empty()) {
    throw ScriptError("unexpected message box: " + Describe(box));
  }
  if (script_.front().kind != UserStep::Kind::Answer) {
    throw ScriptError("message box " + Describe(box) + " shown, but the script's next step is " +
                      Describe(script_.front()));
  }
  UserStep step = std::move(script_.front());
  script_.pop_front();
  if (step.expected && (step.expected->text != box.text || step.expected->caption != box.caption ||
                        step.expected->style != box.style)) {
    throw ScriptError("message box differs\n  shown:    " + Describe(box) + "\n  expected: " +
                      Describe(step.expected->text, step.expected->caption, step.expected->style));
  }
  box.answer = step.answer;
  boxes_.push_back(std::move(box));
  return step.answer;
}

UserStep User::TakeDialogStep(SeenDialog seen) {
  dialogs_.push_back(std::move(seen));
  const SeenDialog& waiting = dialogs_.back();
  const std::string who = "dialog " + std::to_string(waiting.frame.layout) + " \"" +
                          waiting.frame.text + "\" of process " + std::to_string(waiting.processId);
  if (script_.empty()) {
    throw ScriptError(who + " waits for the user, but the script has no step left\n" +
                      Describe(waiting));
  }
  if (!script_.front().IsDialogStep()) {
    throw ScriptError(who + " waits for the user, but the script's next step is " +
                      Describe(script_.front()) + "\n" + Describe(waiting));
  }
  UserStep step = std::move(script_.front());
  script_.pop_front();
  return step;
}

UserStep User::TakeBrowseStep(const std::string& waiting) {
  if (script_.empty()) {
    throw ScriptError(waiting + " waits for the user, but the script has no step left");
  }
  if (!script_.front().IsBrowseStep()) {
    throw ScriptError(waiting + " waits for the user, but the script's next step is " +
                      Describe(script_.front()));
  }
  UserStep step = std::move(script_.front());
  script_.pop_front();
  return step;
}

std::size_t User::Record(ShownBrowser browser) {
  browsers_.push_back(std::move(browser));
  return browsers_.size() - 1;
}

void User::RecordSelection(std::size_t browser, std::string path) {
  if (browser < browsers_.size()) {
    browsers_[browser].selected = std::move(path);
  }
}

}  // namespace sim
