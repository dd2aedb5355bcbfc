// Strings from the program file's resources and message boxes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// A window handle as the logic sees it: an opaque number, kNoWindow for none.
using WindowHandle = std::uintptr_t;
inline constexpr WindowHandle kNoWindow = 0;

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Icon { None, Warning, Question, Error, Information };
enum class DefaultButton { First, Second, Third };

struct BoxStyle {
  Buttons buttons = Buttons::Ok;
  Icon icon = Icon::None;
  DefaultButton defaultButton = DefaultButton::First;
  bool operator==(const BoxStyle&) const = default;
};

// The button that closed the box; Failed when the box could not be shown (MessageBoxA's 0).
enum class BoxResult { Failed, Ok, Cancel, Yes, No };

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // The whole text of string resource `id` of the program file; empty when there is none.
  virtual std::string LoadString(unsigned id) = 0;

  // LoadStringA into a buffer of `capacity` characters (at least 1): the text cut to
  // capacity - 1 characters; empty when there is none.
  virtual std::string LoadString(unsigned id, std::size_t capacity) = 0;

  // MessageBoxA: a modal box owned by `owner` (kNoWindow for none). Shows the style exactly as
  // given; adds no icon of its own.
  virtual BoxResult MessageBox(WindowHandle owner, const std::string& text,
                               const std::string& caption, BoxStyle style) = 0;
};

}  // namespace platform
