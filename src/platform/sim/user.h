// The scripted user of the simulated machine: answers message boxes in the order the test
// wrote them down, checks each box against what the test expected, and records every box.
#pragma once

#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

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

// Thrown out of the simulated program when the user meets a box the script did not foresee,
// or one that differs from the expected box; the test fails with the description.
class ScriptError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

class User {
 public:
  // The next box is answered with `answer`, whatever it shows.
  void WillAnswer(platform::BoxResult answer);
  // The next box must show exactly `expected`; it is answered with `answer`.
  void WillAnswer(ExpectedBox expected, platform::BoxResult answer);

  bool HasUnusedAnswers() const { return !script_.empty(); }
  const std::vector<ShownBox>& Boxes() const { return boxes_; }

  // The machine's side: a box is shown to the user, who answers it.
  platform::BoxResult Answer(ShownBox box);

 private:
  struct Step {
    std::optional<ExpectedBox> expected;
    platform::BoxResult answer;
  };
  std::deque<Step> script_;
  std::vector<ShownBox> boxes_;
};

std::string Describe(const ShownBox& box);

}  // namespace sim
