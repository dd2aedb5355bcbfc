// The part of a resource script that the host build needs: string table and dialog templates,
// with every value exactly as windres stores it in the compiled resources.
#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace rcgen {

struct Control {
  std::string text;  // "#101" for a resource ordinal
  int id = 0;
  std::string windowClass;  // the registered name: "Button", "Edit", "Static", ...
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  std::int16_t x = 0, y = 0, cx = 0, cy = 0;

  friend bool operator==(const Control&, const Control&) = default;
};

struct Dialog {
  std::uint16_t id = 0;
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  std::int16_t x = 0, y = 0, cx = 0, cy = 0;
  std::string caption;
  std::uint16_t fontPointSize = 0;  // 0 and an empty name when the template carries no font
  std::string fontName;
  std::vector<Control> controls;

  friend bool operator==(const Dialog&, const Dialog&) = default;
};

// A resource whose data is a file (BITMAP, ICON, RT_MANIFEST): checked, not tabulated.
struct FileResource {
  std::string type;
  std::uint16_t id = 0;
  std::string path;
};

struct Script {
  std::map<std::uint16_t, std::string> strings;  // ascending ids
  std::map<std::uint16_t, Dialog> dialogs;
  std::vector<FileResource> files;
};

class ParseError : public std::runtime_error {
 public:
  ParseError(int line, const std::string& message) : std::runtime_error(message), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

// Parses the subset of the resource script language that setup.rc is written in. Anything
// outside that subset is a ParseError: a construct skipped here would silently make the host
// tables differ from what windres puts into setup.exe.
Script ParseScript(std::string_view text);

// Value of a Win32 style name, or false when the name is not known to the tool.
bool LookUpStyleName(std::string_view name, std::uint32_t& value);

// The registered spelling of a system control class ("BUTTON" -> "Button"), or an empty string
// for a class the tool does not know.
std::string CanonicalClassName(std::string_view name);

}  // namespace rcgen
