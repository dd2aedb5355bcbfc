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

void User::WillAnswer(platform::BoxResult answer) {
  script_.push_back({std::nullopt, answer});
}

void User::WillAnswer(ExpectedBox expected, platform::BoxResult answer) {
  script_.push_back({std::move(expected), answer});
}

platform::BoxResult User::Answer(ShownBox box) {
  if (script_.empty()) {
    throw ScriptError("unexpected message box: " + Describe(box));
  }
  Step step = std::move(script_.front());
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

}  // namespace sim
