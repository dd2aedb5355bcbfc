// The program's resources as the host build sees them. The tables are generated at build time
// from setup.rc, the one resource script that the Windows build compiles with windres, so the
// simulated machine shows exactly the texts and layouts that setup.exe carries.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace resources {

struct StringEntry {
  std::uint16_t id;
  std::string_view text;  // as LoadString yields it: escapes resolved, ANSI
};

struct ControlLayout {
  std::string_view text;  // "#101" stands for a resource ordinal (a picture control's bitmap)
  int id;                 // -1 for a control without an id
  std::string_view windowClass;  // "Button", "Edit", "Static", ...
  std::uint32_t style;           // complete style as stored in the template
  std::uint32_t exStyle;
  std::int16_t x, y, cx, cy;  // dialog units
};

struct DialogLayout {
  std::uint16_t id;
  std::uint32_t style;  // complete style as stored in the template (DS_SETFONT included)
  std::uint32_t exStyle;
  std::int16_t x, y, cx, cy;
  std::string_view caption;
  std::uint16_t fontPointSize;
  std::string_view fontName;
  std::span<const ControlLayout> controls;  // in template order
};

// Every string table entry, in ascending id order.
std::span<const StringEntry> StringTable();

// Every dialog template, in ascending id order.
std::span<const DialogLayout> DialogLayouts();

// The entry with this id, or nullptr.
const StringEntry* FindString(std::uint16_t id);
const DialogLayout* FindDialog(std::uint16_t id);

}  // namespace resources
